#include "ui/DialogTemplate.h"

#include "pluginapi/ADMDialogTemplate.h"

namespace quillon::ui {
namespace {

// Little-endian reader that refuses to read past the end.
class Reader {
  public:
    explicit Reader(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    void Need(size_t count, const char* what) const {
        if (count > bytes_.size() - offset_)
            throw ResourceError(std::string("truncated ") + what + " at byte " +
                                std::to_string(offset_));
    }
    uint8_t U8(const char* what) {
        Need(1, what);
        return bytes_[offset_++];
    }
    uint16_t U16(const char* what) {
        Need(2, what);
        const uint16_t v = uint16_t(bytes_[offset_] | bytes_[offset_ + 1] << 8);
        offset_ += 2;
        return v;
    }
    uint32_t U32(const char* what) {
        const uint32_t low = U16(what);
        return low | uint32_t(U16(what)) << 16;
    }
    std::string Text(size_t length, const char* what) {
        Need(length, what);
        std::string text(reinterpret_cast<const char*>(bytes_.data() + offset_), length);
        offset_ += length;
        return text;
    }
    std::span<const uint8_t> Rest() const { return bytes_.subspan(offset_); }
    size_t Offset() const { return offset_; }
    bool AtEnd() const { return offset_ == bytes_.size(); }

  private:
    std::span<const uint8_t> bytes_;
    size_t offset_ = 0;
};

void CheckMagic(Reader& in, const char* magic, const char* what) {
    if (in.Text(4, what) != magic) throw ResourceError(std::string("not a ") + what);
}

int32_t Extent(uint16_t value, int32_t minimum, const char* what) {
    if (value < minimum || value > kADMTemplateMaxExtent)
        throw ResourceError(std::string(what) + " " + std::to_string(value) + " out of range");
    return value;
}

} // namespace

DialogTemplate ParseDialogTemplate(std::span<const uint8_t> bytes) {
    Reader in(bytes);
    CheckMagic(in, kADMTemplateMagic, "dialog template");
    const uint16_t version = in.U16("template header");
    if (version != kADMTemplateVersion)
        throw ResourceError("unsupported dialog template version " + std::to_string(version));
    DialogTemplate result;
    result.width = Extent(in.U16("template header"), 1, "dialog width");
    result.height = Extent(in.U16("template header"), 1, "dialog height");
    const uint16_t count = in.U16("template header");
    if (count > kADMTemplateMaxItems)
        throw ResourceError("too many dialog items (" + std::to_string(count) + ")");
    const uint16_t titleLength = in.U16("dialog title");
    if (titleLength > kADMTemplateMaxText) throw ResourceError("dialog title too long");
    result.title = in.Text(titleLength, "dialog title");
    result.items.reserve(count);
    for (uint16_t i = 0; i < count; ++i) {
        TemplateItem item;
        item.id = int32_t(in.U32("dialog item"));
        item.left = int16_t(in.U16("dialog item"));
        item.top = int16_t(in.U16("dialog item"));
        item.width = Extent(in.U16("dialog item"), 0, "item width");
        item.height = Extent(in.U16("dialog item"), 0, "item height");
        item.pictureID = int32_t(in.U32("dialog item"));
        const uint8_t typeLength = in.U8("item type");
        if (typeLength == 0 || typeLength > kADMTemplateMaxTypeName)
            throw ResourceError("item " + std::to_string(item.id) + " has a bad type name length");
        item.type = in.Text(typeLength, "item type");
        const uint16_t textLength = in.U16("item text");
        if (textLength > kADMTemplateMaxText)
            throw ResourceError("item " + std::to_string(item.id) + " text too long");
        item.text = in.Text(textLength, "item text");
        result.items.push_back(std::move(item));
    }
    if (!in.AtEnd())
        throw ResourceError("unexpected bytes after the last dialog item at byte " +
                            std::to_string(in.Offset()));
    return result;
}

Bitmap ParseBitmap(std::span<const uint8_t> bytes) {
    Reader in(bytes);
    CheckMagic(in, kADMBitmapMagic, "bitmap");
    Bitmap bitmap;
    bitmap.width = in.U16("bitmap header");
    bitmap.height = in.U16("bitmap header");
    const uint8_t bits = in.U8("bitmap header");
    in.U8("bitmap header");
    if (bitmap.width < 1 || bitmap.width > kADMBitmapMaxExtent || bitmap.height < 1 ||
        bitmap.height > kADMBitmapMaxExtent)
        throw ResourceError("bitmap size " + std::to_string(bitmap.width) + " x " +
                            std::to_string(bitmap.height) + " out of range");
    if (bits != 24 && bits != 32)
        throw ResourceError("unsupported bitmap depth " + std::to_string(bits));
    bitmap.bytesPerPixel = bits / 8;
    // At most 1024 x 1024 x 4 bytes, so the product fits.
    const size_t size = size_t(bitmap.width) * size_t(bitmap.height) * size_t(bitmap.bytesPerPixel);
    if (in.Rest().size() != size)
        throw ResourceError("bitmap holds " + std::to_string(in.Rest().size()) +
                            " bytes of pixels, expected " + std::to_string(size));
    bitmap.pixels = in.Rest();
    return bitmap;
}

} // namespace quillon::ui
