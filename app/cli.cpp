#include "app/cli.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>

#include "app/file_output.h"
#include "inspection/panel_fill.h"
#include "inspection/photo_kind.h"
#include "inspection/summary.h"
#include "inspection/url.h"

namespace quillory {
namespace {

constexpr std::string_view kUsage =
    "Usage: quillory [--] [FILE-or-URL...]\n"
    "       quillory --summary FILE [--thumbnail OUT.png]\n"
    "       quillory --help | --version\n"
    "\n"
    "Without options Quillory puts its icon into the system tray. A click on the icon drops a\n"
    "panel that follows the file manager's selection (the files last copied with Ctrl+C, handed\n"
    "over with \"Open With\" or dropped on the panel) and shows the preview and a summary of the\n"
    "selected JPEG or Canon CR2 photo. FILEs (paths or file: URLs) become the selection and open\n"
    "the panel; when Quillory already runs they are handed to it and this command ends. \"--\"\n"
    "ends the options: every argument after it is a file.\n"
    "\n"
    "--summary prints the summary the panel shows for FILE; --thumbnail also writes its preview\n"
    "(upright, at most 500 px a side) as PNG, replacing OUT.png only if it is a PNG file (never\n"
    "the photo, another file, a link or a device). Photos are only read, never changed.\n"
    "\n"
    "Environment: QUILLORY_APPEARANCE=dark|light overrides the desktop's light or dark panel;\n"
    "QUILLORY_TRAY_WAIT=SECONDS is how long to wait for a system tray (default 30).\n";

struct Request {
    std::string file;
    std::optional<std::string> thumbnail;
};

bool isOption(const std::string& arg) {
    return arg.size() > 1 && arg[0] == '-';
}

// "--summary FILE" first, then at most one "--thumbnail OUT"; an option's value is the next
// argument as it stands. "--" ends the options and nothing may follow it. Returns what is wrong
// with the arguments, the first thing from the left, in a few words; empty when `request` is
// filled. Files before the first option are not themselves wrong: the option after them is.
std::string parse(const std::vector<std::string>& args, Request& request) {
    bool summary = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        const bool last = i + 1 == args.size();
        if (arg == "--") {
            if (!last) return "unexpected argument '" + cleanText(args[i + 1]) + "'";
            break;
        }
        if (arg == "--help" || arg == "--version") return arg + " takes no other argument";
        if ((arg == "--summary" || arg == "--thumbnail") && last) return arg + " needs a FILE";
        if (arg == "--summary") {
            if (summary) return "--summary may be given only once";
            if (i != 0) return "--summary must be the first argument";
            request.file = args[++i];
            summary = true;
            continue;
        }
        if (arg == "--thumbnail") {
            if (!summary) return "--thumbnail needs --summary FILE before it";
            if (request.thumbnail) return "--thumbnail may be given only once";
            request.thumbnail = args[++i];
            continue;
        }
        if (isOption(arg)) return "unknown option '" + cleanText(arg) + "'";
        if (summary) return "unexpected argument '" + cleanText(arg) + "'";
    }
    return summary ? "" : "no --summary FILE";
}

// A file: URL stands for its path; a relative path is taken from the working folder.
std::string localPath(const std::string& file) {
    if (file.rfind("file:", 0) == 0) {
        if (std::optional<Url> url = Url::fromString(file); url && url->isLocalFile()) return url->path();
    }
    const std::filesystem::path path(file);
    if (path.is_absolute()) return path.lexically_normal().string();
    return (std::filesystem::path(workingFolder()) / path).lexically_normal().string();
}

int writeThumbnail(ImageSource& source, const std::string& shown, const std::string& target,
                   const CliContext& context) {
    const std::optional<Bitmap> picture = source.createThumbnailAtIndex0(kThumbnailOptions);
    if (!picture) {
        context.err << "quillory: no preview can be made for " << shown << "; no PNG written\n";
        return kExitOk;
    }
    const std::string png = context.encodePng(*picture);
    std::string why = "the PNG could not be encoded";
    if (png.empty() || !replaceFile(target, png, why)) {
        context.err << "quillory: cannot write " << cleanText(target) << ": " << why << '\n';
        return kExitUnwritable;
    }
    return kExitOk;
}

// Reads the photo once: the summary from its properties, and the preview only when asked for.
int inspect(const Request& request, const CliContext& context) {
    const std::string path = localPath(request.file);
    const std::string shown = cleanText(request.file);
    if (request.thumbnail) {
        if (std::optional<std::string> refusal = outputRefusal(path, *request.thumbnail)) {
            context.err << "quillory: will not write " << cleanText(*request.thumbnail) << ": " << *refusal
                        << '\n';
            return kExitUnwritable;
        }
    }
    std::string why;
    const std::unique_ptr<ImageSource> source = context.images.createWithPath(path, &why);
    if (!source) {
        context.err << "quillory: cannot read " << shown << ": " << why << '\n';
        return kExitUnreadable;
    }
    const Url url = Url::fromLocalPath(path);
    if (!isQualifying(url)) {
        context.out << kNoFileMessage << '\n';
        if (request.thumbnail)
            context.err << "quillory: no preview can be made for " << shown << "; no PNG written\n";
        return kExitOk;
    }
    context.out << composeSummary(url.path(), source->copyProperties(), source->copyPropertiesAtIndex0())
                << '\n';
    context.out.flush();
    return request.thumbnail ? writeThumbnail(*source, shown, *request.thumbnail, context) : kExitOk;
}

}  // namespace

std::optional<std::vector<std::string>> trayFiles(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    bool options = true;
    for (const std::string& arg : args) {
        if (options && arg == "--") {
            options = false;
        } else if (options && isOption(arg)) {
            return std::nullopt;
        } else {
            files.push_back(arg);
        }
    }
    return files;
}

int runCli(const std::vector<std::string>& args, const CliContext& context) {
    if (args.size() == 1 && args[0] == "--help") {
        context.out << kUsage;
        return kExitOk;
    }
    if (args.size() == 1 && args[0] == "--version") {
        context.out << "quillory " << context.version << '\n';
        return kExitOk;
    }
    Request request;
    if (const std::string wrong = parse(args, request); !wrong.empty()) {
        context.err << "quillory: " << wrong << "\nTry 'quillory --help' for more information.\n";
        return kExitUsage;
    }
    return inspect(request, context);
}

std::string workingFolder() {
    std::error_code unknown;
    return std::filesystem::current_path(unknown).string();
}

}  // namespace quillory
