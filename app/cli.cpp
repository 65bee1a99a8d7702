#include "app/cli.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>

#include "inspection/panel_fill.h"
#include "inspection/read_queue.h"
#include "inspection/url.h"

namespace quillory {
namespace {

constexpr std::string_view kUsage =
    "Usage: quillory --summary FILE [--thumbnail OUT.png]\n"
    "       quillory --help | --version\n"
    "\n"
    "Prints the summary Quillory shows for a JPEG or Canon CR2 photo; with --thumbnail,\n"
    "also writes its upright preview (at most 500 px a side) as PNG.\n"
    "FILE is a path or a file: URL. Photos are only read, never changed.\n";

struct Request {
    std::string file;
    std::optional<std::string> thumbnail;
};

// The one selected item the command line inspects.
class SingleSelection final : public SelectionQuery {
public:
    explicit SingleSelection(std::string url) : url_(std::move(url)) {}
    std::vector<std::string> selection() override { return {url_}; }

private:
    std::string url_;
};

// Keeps what the fill shows, as the panel would.
class CapturedPanel final : public PanelContent {
public:
    void setVersionText(const std::string&) override {}
    void setSummaryText(const std::string& text) override { summary = text; }
    void setPreviewHidden(bool hidden) override { previewHidden = hidden; }
    void setPreviewPicture(std::shared_ptr<const Bitmap> bitmap) override { picture = std::move(bitmap); }

    std::string summary;
    bool previewHidden = true;
    std::shared_ptr<const Bitmap> picture;
};

std::optional<Request> parse(const std::vector<std::string>& args) {
    Request request;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const bool hasValue = i + 1 < args.size();
        if (args[i] == "--summary" && hasValue && request.file.empty()) {
            request.file = args[++i];
        } else if (args[i] == "--thumbnail" && hasValue && !request.thumbnail) {
            request.thumbnail = args[++i];
        } else {
            return std::nullopt;
        }
    }
    if (request.file.empty()) return std::nullopt;
    return request;
}

// A file: URL stands for its path; a relative path is taken from the working folder.
std::string localPath(const std::string& file) {
    if (file.rfind("file:", 0) == 0) {
        if (std::optional<Url> url = Url::fromString(file); url && url->isLocalFile()) return url->path();
    }
    std::error_code ignored;
    const std::filesystem::path absolute = std::filesystem::absolute(file, ignored).lexically_normal();
    return absolute.empty() ? file : absolute.string();
}

int inspect(const Request& request, const CliContext& context) {
    const std::string path = localPath(request.file);
    std::string why;
    if (!context.images.createWithPath(path, &why)) {
        context.err << "quillory: cannot read " << request.file << ": " << why << '\n';
        return kExitUnreadable;
    }
    SingleSelection selection(Url::fromLocalPath(path).string());
    CapturedPanel panel;
    InlineReadQueue reads;
    Inspector inspector({selection, context.images, reads, {}, {}});
    inspector.setPanel(&panel);
    inspector.FillPanel();
    context.out << panel.summary << '\n';
    if (!request.thumbnail) return kExitOk;
    if (panel.previewHidden || !panel.picture) {
        context.err << "quillory: no preview can be made for " << request.file << "; no PNG written\n";
    } else if (!context.writePng(*panel.picture, *request.thumbnail, why)) {
        context.err << "quillory: cannot write " << *request.thumbnail << ": " << why << '\n';
        return kExitUnwritable;
    }
    return kExitOk;
}

}  // namespace

int runCli(const std::vector<std::string>& args, const CliContext& context) {
    if (args.size() == 1 && args[0] == "--help") {
        context.out << kUsage;
        return kExitOk;
    }
    if (args.size() == 1 && args[0] == "--version") {
        context.out << "quillory " << context.version << '\n';
        return kExitOk;
    }
    const std::optional<Request> request = parse(args);
    if (!request) {
        context.err << kUsage;
        return kExitUsage;
    }
    return inspect(*request, context);
}

}  // namespace quillory
