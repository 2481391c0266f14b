// Texture bank files and texture slot animation.
#include "assets/texture_bank.h"

#include <algorithm>
#include <optional>

#include "assets/pcx.h"
#include "assets/picture_convert.h"
#include "core/errors.h"
#include "core/file_io.h"
#include "core/text.h"

namespace zq {

namespace {

constexpr std::size_t kMaxBankLine = 255;  // longer lines are cut, as the game reads them

struct BankLine {
    int number = 0;    // 1-based line number in the file
    std::string text;  // blanks removed, upper-cased
};

std::vector<BankLine> ReadBankLines(const Bytes& bytes) {
    std::vector<BankLine> lines;
    std::string raw;
    int number = 0;
    auto finish = [&] {
        ++number;
        if (raw.size() > kMaxBankLine) raw.resize(kMaxBankLine);
        std::string compact;
        for (char c : raw)
            if (c != ' ' && c != '\t' && c != '\r') compact.push_back(c);
        if (!compact.empty()) lines.push_back({number, ToUpper(compact)});
        raw.clear();
    };
    for (std::uint8_t byte : bytes) {
        if (byte == '\n') {
            finish();
        } else {
            raw.push_back(static_cast<char>(byte));
        }
    }
    if (!raw.empty()) finish();
    return lines;
}

// A refusal that names the bank and the line.
struct LineError {
    std::string file;  // the file the problem is about
    std::string message;
};

std::string BankLineMessage(const std::string& bank, int line, const std::string& why) {
    return "G3D: The texture bank " + bank + ", line " + std::to_string(line) + ": " + why;
}

// A number of a bank line: text that does not parse counts as 0, as the game
// always read it; a value outside 0..32767 is refused.
std::optional<std::int32_t> BankNumber(const std::string& text) {
    std::int32_t value = ParseNumber(text).value_or(0);
    if (value < 0 || value >= kImageNumberCount) return std::nullopt;
    return value;
}

std::string StripPrefix(const std::string& message) {
    const std::string prefix = "G3D: ";
    return message.compare(0, prefix.size(), prefix) == 0 ? message.substr(prefix.size()) : message;
}

class BankLoader {
public:
    BankLoader(Graphics& graphics, const DataResolver& data, const std::string& fileName, AssetProblems* problems)
        : g_(graphics), data_(data), bank_(fileName), problems_(problems) {}

    void Run(const Bytes& bytes) {
        // The software build frees every image block first; the GL build keeps
        // the images a new bank does not list (their textures stay valid).
        if (g_.format == PixelFormat::kIndexed)
            for (auto& image : g_.bankImages) std::vector<std::uint8_t>().swap(image);
        std::fill(g_.textureSlots.begin(), g_.textureSlots.end(), TextureSlot{});
        g_.lastSlot = 0;
        ++g_.bankGeneration;
        g_.bankName = bank_;

        enum { kBefore, kImages, kTextures } part = kBefore;
        int imageLines = 0;
        for (const BankLine& line : ReadBankLines(bytes)) {
            if (part == kBefore) {
                if (line.text == "#IMAGES") part = kImages;
                continue;
            }
            if (part == kImages && line.text == "#TEXTURES") {
                part = kTextures;
                continue;
            }
            try {
                if (part == kImages) {
                    ++imageLines;
                    ImageLine(line, imageLines);
                } else {
                    TextureLine(line);
                }
            } catch (const LineError& e) {
                Report(e.file, e.message);
            } catch (const FatalError& e) {
                Report(bank_, e.what());
            }
        }
    }

private:
    void Report(const std::string& file, const std::string& message) {
        if (!problems_) throw FatalError(message);
        problems_->push_back({file, message});
    }

    void ImageLine(const BankLine& line, int ordinal) {
        auto equals = line.text.find('=');
        if (equals == std::string::npos)
            throw LineError{bank_, BankLineMessage(bank_, line.number, "an image line needs \"number=picture\"")};
        auto number = BankNumber(line.text.substr(0, equals));
        if (!number)
            throw LineError{bank_, BankLineMessage(bank_, line.number, "image number outside 0..32767")};
        std::string pictureName = line.text.substr(equals + 1);
        Picture picture;
        try {
            picture = LoadPcx(data_, pictureName);
        } catch (const FatalError& e) {
            std::string message = e.what();
            if (message == MissingFileMessage(pictureName)) throw LineError{pictureName, message};
            throw LineError{pictureName, BankLineMessage(bank_, line.number, StripPrefix(message))};
        }
        // The software build's 16384-byte blocks hold exactly 128 x 128.
        if (picture.width != kBankImageSide || picture.height != kBankImageSide)
            throw LineError{pictureName, BankLineMessage(bank_, line.number,
                                                         "the image " + pictureName + " is " + std::to_string(picture.width) +
                                                             " x " + std::to_string(picture.height) + ", not 128 x 128")};
        if (ordinal == 1) g_.mainPalette = picture.palette;
        if (ordinal == 2) {
            g_.flatPalette = picture.palette;
            g_.tables->flatRemap = RemapTable(g_.flatPalette, g_.mainPalette);
        }
        auto& stored = g_.bankImages[static_cast<std::size_t>(*number)];
        if (g_.format == PixelFormat::kIndexed) {
            if (ordinal != 1) RemapPixels(picture.pixels, picture.palette, g_.mainPalette);
            stored = std::move(picture.pixels);
        } else {
            stored.assign(picture.pixels.size() * 4, 0);
            for (std::size_t i = 0; i < picture.pixels.size(); ++i) WriteRgba(&stored[4 * i], picture.pixels[i], picture.palette);
        }
    }

    void TextureLine(const BankLine& line) {
        auto equals = line.text.find('=');
        // "40=-7": an empty first number counts as 0 like any other that does not parse.
        auto minus = equals == std::string::npos ? std::string::npos : line.text.find('-', equals + 1);
        if (minus == std::string::npos)
            throw LineError{bank_, BankLineMessage(bank_, line.number, "a texture line needs \"slot=first-last\"")};
        auto slot = BankNumber(line.text.substr(0, equals));
        auto first = BankNumber(line.text.substr(equals + 1, minus - equals - 1));
        auto last = BankNumber(line.text.substr(minus + 1));
        if (!slot) throw LineError{bank_, BankLineMessage(bank_, line.number, "slot number outside 0..32767")};
        if (!first || !last) throw LineError{bank_, BankLineMessage(bank_, line.number, "image number outside 0..32767")};
        g_.textureSlots[static_cast<std::size_t>(*slot)] = {*first, *last, *first};
        g_.lastSlot = std::max(g_.lastSlot, *slot);
    }

    Graphics& g_;
    const DataResolver& data_;
    std::string bank_;
    AssetProblems* problems_;
};

}  // namespace

void LoadTextureBank(Graphics& graphics, const DataResolver& data, const std::string& fileName, AssetProblems* problems) {
    auto path = data.Find(fileName);
    std::optional<Bytes> bytes;
    if (path) bytes = ReadFileBytes(*path);
    if (!bytes) throw FatalError(MissingFileMessage(fileName));
    BankLoader(graphics, data, fileName, problems).Run(*bytes);
    if (graphics.format == PixelFormat::kIndexed) ProvideBlendTables(*graphics.tables, graphics.mainPalette, data, fileName);
}

void StepTextureAnimation(Graphics& graphics) {
    for (std::int32_t s = 0; s <= graphics.lastSlot; ++s) {
        TextureSlot& slot = graphics.textureSlots[static_cast<std::size_t>(s)];
        if (slot.first < slot.last) {
            if (++slot.current > slot.last) slot.current = slot.first;
        } else if (slot.first > slot.last) {
            if (--slot.current < slot.last) slot.current = slot.first;
        } else {
            slot.current = slot.first;
        }
    }
}

std::int32_t SlotImage(const Graphics& graphics, std::int32_t slot) {
    if (slot < 0 || slot >= kTextureSlotCount) return 0;
    return graphics.textureSlots[static_cast<std::size_t>(slot)].current;
}

}  // namespace zq
