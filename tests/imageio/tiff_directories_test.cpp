#include "platform/imageio/tiff_directories.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>

#include "tests/support/support.h"

namespace quillory::imageio {
namespace {

using support::Bytes;

enum Type : std::uint16_t { kAscii = 2, kShort = 3, kLong = 4, kRational = 5, kUndefined = 7 };

struct Field {
    std::uint16_t tag;
    Type type;
    std::uint32_t count;
    std::uint32_t value;  // the value itself, or where it lies when it takes more than four bytes
};

// A TIFF file laid out by hand: directories go exactly where a case puts them.
class Tiff {
public:
    Tiff(bool bigEndian, std::size_t size, std::uint32_t ifd0) : big_(bigEndian), bytes_(size) {
        bytes_[0] = bytes_[1] = big_ ? 'M' : 'I';
        put(2, 42, 2);
        put(4, ifd0, 4);
    }

    Tiff& directory(std::uint32_t at, const std::vector<Field>& fields, std::uint32_t next = 0) {
        put(at, static_cast<std::uint32_t>(fields.size()), 2);
        std::uint32_t entry = at + 2;
        for (const Field& f : fields) {
            put(entry, f.tag, 2);
            put(entry + 2, f.type, 2);
            put(entry + 4, f.count, 4);
            put(entry + 8, f.value, 4);
            entry += 12;
        }
        put(entry, next, 4);
        return *this;
    }

    const Bytes& bytes() const { return bytes_; }

private:
    void put(std::size_t at, std::uint32_t value, int size) {
        for (int i = 0; i < size; ++i) {
            bytes_.at(at + static_cast<std::size_t>(big_ ? size - 1 - i : i)) =
                std::uint8_t(value >> (8 * i));
        }
    }

    bool big_;
    Bytes bytes_;
};

std::optional<TiffMetadata> locate(const Bytes& bytes) {
    const support::TempDir dir;
    const auto file = PhotoFile::open(dir.write("IMG_0001.CR2", bytes), nullptr);
    return file ? locateTiffMetadata(*file) : std::nullopt;
}

TEST(TiffDirectories, coverEveryDirectoryAndSmallValueInEitherByteOrder) {
    for (const bool big : {false, true}) {
        SCOPED_TRACE(big ? "big-endian" : "little-endian");
        // IFD0 -> IFD1 by the chain, IFD0 -> EXIF -> interoperability by pointers.
        const Tiff tiff = Tiff(big, 4096, 8)
                              .directory(8, {{0x110, kAscii, 20, 100}, {0x8769, kLong, 1, 400}}, 300)
                              .directory(300, {{0x103, kShort, 1, 6}})
                              .directory(400, {{0x829A, kRational, 1, 1000}, {0xA005, kLong, 1, 2000}})
                              .directory(2000, {{0x0002, kUndefined, 4, 0}, {0x1000, kAscii, 30, 2500}});
        const auto metadata = locate(tiff.bytes());
        ASSERT_TRUE(metadata);
        EXPECT_EQ(metadata->length, 2530);  // the interoperability directory's text ends last
        EXPECT_FALSE(metadata->makerNoteEntry);
    }
}

TEST(TiffDirectories, leaveOutWhatTheSummaryNeverReads) {
    const struct {
        const char* name;
        std::vector<Field> exif;
        std::int64_t length;
    } cases[] = {
        {"a maker note far away", {{0x927C, kUndefined, 5000, 3000}}, 218},
        {"a large blob", {{0x9286, kUndefined, 70000, 100}}, 218},
        {"a value past the end of the file", {{0x9003, kAscii, 20, 9000}}, 218},
        {"a value running off the end", {{0x9003, kAscii, 20, 4090}}, 218},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Tiff tiff = Tiff(false, 4096, 8).directory(8, {{0x8769, kLong, 1, 200}}).directory(200, c.exif);
        const auto metadata = locate(tiff.bytes());
        ASSERT_TRUE(metadata);
        EXPECT_EQ(metadata->length, c.length);
    }
}

TEST(TiffDirectories, stopAtTheLimitForValuesBeyondIt) {
    const Tiff tiff = Tiff(false, (3u << 20) + 64, 8).directory(8, {{0x9003, kAscii, 20, 3u << 20}});
    const auto metadata = locate(tiff.bytes());
    ASSERT_TRUE(metadata);
    EXPECT_EQ(metadata->length, kMaxTiffMetadata);
}

TEST(TiffDirectories, findTheMakerNoteEntryOfTheExifDirectory) {
    const Tiff tiff = Tiff(true, 1024, 8)
                          .directory(8, {{0x8769, kLong, 1, 100}})
                          .directory(100, {{0x829A, kRational, 1, 300}, {0x927C, kUndefined, 64, 400}});
    const auto metadata = locate(tiff.bytes());
    ASSERT_TRUE(metadata);
    EXPECT_EQ(metadata->makerNoteEntry, 100 + 2 + 12);
    EXPECT_EQ(metadata->length, 308);
}

TEST(TiffDirectories, surviveLoopsCutsAndStrangers) {
    Bytes cut = Tiff(false, 64, 8).directory(8, {{0x103, kShort, 1, 6}}).bytes();
    cut[8] = 200;  // 200 entries claimed, four left in the file
    const struct {
        const char* name;
        Bytes bytes;
        std::optional<std::int64_t> length;
    } cases[] = {
        {"a chain back to itself", Tiff(false, 64, 8).directory(8, {{0x103, kShort, 1, 6}}, 8).bytes(), 26},
        {"an EXIF pointer to IFD0", Tiff(false, 64, 8).directory(8, {{0x8769, kLong, 1, 8}}).bytes(), 26},
        {"a directory cut short", cut, 64},
        {"IFD0 past the end", Tiff(false, 64, 500).bytes(), std::nullopt},
        {"IFD0 inside the header", Tiff(false, 64, 4).bytes(), std::nullopt},
        {"no TIFF header", Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0, 0, 0, 0, 0}, std::nullopt},
        {"a header and nothing else", Bytes{'I', 'I', 42, 0}, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto metadata = locate(c.bytes);
        ASSERT_EQ(metadata.has_value(), c.length.has_value());
        if (metadata) {
            EXPECT_EQ(metadata->length, *c.length);
        }
    }
}

}  // namespace
}  // namespace quillory::imageio
