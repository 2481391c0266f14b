// Texture bank files and texture slot animation.
#include "assets/texture_bank.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <unordered_map>

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
        : g_(graphics), data_(data), bank_(fileName), problems_(problems) {
        mainPalette_ = g_.mainPalette;
        flatPalette_ = g_.flatPalette;
        flatRemap_ = g_.tables->flatRemap;
        // The software build starts from no images; the GL build keeps the
        // images a new bank does not list (their textures stay valid).
        if (g_.format != PixelFormat::kIndexed) images_ = g_.bankImages;
    }

    // Reads every line into the loader's own tables; the Graphics record
    // changes only in Commit, so a refused bank leaves it as it was.
    void Run(const Bytes& bytes) {
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

    void Commit() {
        g_.bankImages.swap(images_);
        g_.textureSlots.swap(slots_);
        g_.lastSlot = lastSlot_;
        g_.mainPalette = mainPalette_;
        g_.flatPalette = flatPalette_;
        g_.tables->flatRemap = flatRemap_;
        ++g_.bankGeneration;
        g_.bankName = bank_;
    }

private:
    // A picture named by image lines after the first, decoded and converted
    // once however many lines name it; or why it cannot be used.
    struct SharedPicture {
        BankImage image;
        Palette palette;
        bool missing = false;
        std::string why;  // empty when the picture is usable
    };

    void Report(const std::string& file, const std::string& message) {
        if (!problems_) throw FatalError(message);
        problems_->push_back({file, message});
    }

    std::size_t ImageBytes() const { return g_.format == PixelFormat::kIndexed ? kBankImageBytes : 4 * kBankImageBytes; }

    // Decodes the picture of an image line and converts it to the stored
    // format; fills `entry` with the reason when it cannot be used.
    void Decode(const std::string& pictureName, bool remap, SharedPicture& entry) {
        Picture picture;
        try {
            picture = LoadPcx(data_, pictureName);
        } catch (const FatalError& e) {
            std::string message = e.what();
            entry.missing = message == MissingFileMessage(pictureName);
            entry.why = entry.missing ? message : StripPrefix(message);
            return;
        }
        // The software build's 16384-byte blocks hold exactly 128 x 128.
        if (picture.width != kBankImageSide || picture.height != kBankImageSide) {
            entry.why = "the image " + pictureName + " is " + std::to_string(picture.width) + " x " +
                        std::to_string(picture.height) + ", not 128 x 128";
            return;
        }
        entry.palette = picture.palette;
        auto stored = std::make_shared<std::vector<std::uint8_t>>();
        if (g_.format == PixelFormat::kIndexed) {
            if (remap) RemapPixels(picture.pixels, picture.palette, mainPalette_);
            *stored = std::move(picture.pixels);
        } else {
            stored->assign(picture.pixels.size() * 4, 0);
            for (std::size_t i = 0; i < picture.pixels.size(); ++i)
                WriteRgba(&(*stored)[4 * i], picture.pixels[i], picture.palette);
        }
        decodedBytes_ += stored->size();
        entry.image = std::move(stored);
    }

    void ImageLine(const BankLine& line, int ordinal) {
        auto equals = line.text.find('=');
        if (equals == std::string::npos)
            throw LineError{bank_, BankLineMessage(bank_, line.number, "an image line needs \"number=picture\"")};
        auto number = BankNumber(line.text.substr(0, equals));
        if (!number)
            throw LineError{bank_, BankLineMessage(bank_, line.number, "image number outside 0..32767")};
        std::string pictureName = line.text.substr(equals + 1);

        // The first image keeps its own indices (it is the main palette); every
        // later one is remapped into it, so those can be shared by name.
        SharedPicture first;
        SharedPicture* entry = &first;
        auto known = shared_.find(pictureName);
        if (ordinal > 1 && known != shared_.end()) {
            entry = &known->second;
        } else {
            if (decodedBytes_ + ImageBytes() > g_.bankPictureLimit)
                throw LineError{bank_, BankLineMessage(bank_, line.number,
                                                       "its pictures need more than " +
                                                           std::to_string(g_.bankPictureLimit >> 10) + " KiB")};
            Decode(pictureName, ordinal > 1, first);
            if (ordinal > 1) entry = &shared_.emplace(pictureName, std::move(first)).first->second;
        }
        if (entry->missing) throw LineError{pictureName, entry->why};
        if (!entry->why.empty()) throw LineError{pictureName, BankLineMessage(bank_, line.number, entry->why)};

        if (ordinal == 1) mainPalette_ = entry->palette;
        if (ordinal == 2) {
            flatPalette_ = entry->palette;
            flatRemap_ = RemapTable(flatPalette_, mainPalette_);
        }
        images_[static_cast<std::size_t>(*number)] = entry->image;
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
        slots_[static_cast<std::size_t>(*slot)] = {*first, *last, *first};
        lastSlot_ = std::max(lastSlot_, *slot);
    }

    Graphics& g_;
    const DataResolver& data_;
    std::string bank_;
    AssetProblems* problems_;

    std::vector<BankImage> images_ = std::vector<BankImage>(kImageNumberCount);
    std::vector<TextureSlot> slots_ = std::vector<TextureSlot>(kTextureSlotCount);
    std::int32_t lastSlot_ = 0;
    Palette mainPalette_, flatPalette_;
    std::array<std::uint8_t, kPaletteSize> flatRemap_{};
    std::unordered_map<std::string, SharedPicture> shared_;
    std::size_t decodedBytes_ = 0;  // distinct pictures kept so far
};

}  // namespace

void LoadTextureBank(Graphics& graphics, const DataResolver& data, const std::string& fileName, AssetProblems* problems) {
    auto path = data.Find(fileName);
    std::optional<Bytes> bytes;
    if (path) bytes = ReadFileBytes(*path, kMaxTextureBankBytes);
    if (!bytes) throw FatalError(MissingFileMessage(fileName));
    BankLoader loader(graphics, data, fileName, problems);
    loader.Run(*bytes);
    loader.Commit();
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
