// TIFF pages written losslessly through libtiff, their strips deflated by a StripEncoder.
#include "core/documents/ImageFiles.h"
#include "core/documents/StripEncoder.h"
#include "core/documents/TiffSupport.h"

#include <tiffio.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace quillon::filterhost {
namespace {

using namespace tiff;

// Tags from the document, then the strips: the encoder's, or ones encoded here. The file is
// in the machine's byte order (libtiff's default for a new file), as the encoder stores samples.
void WritePage(TIFF* t, const Document& d, const std::filesystem::path& shown, size_t page,
               size_t pages, StripEncoder* encoded, const CancelCheck& cancel) {
    const int samples = d.ColorChannels() + (d.hasAlpha ? 1 : 0);
    TIFFSetField(t, TIFFTAG_IMAGEWIDTH, uint32_t(d.width));
    TIFFSetField(t, TIFFTAG_IMAGELENGTH, uint32_t(d.height));
    TIFFSetField(t, TIFFTAG_BITSPERSAMPLE, uint16_t(d.depth));
    TIFFSetField(t, TIFFTAG_SAMPLESPERPIXEL, uint16_t(samples));
    TIFFSetField(t, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    const Metadata& m = d.metadata;
    TIFFSetField(t, TIFFTAG_ORIENTATION, m.orientation ? m.orientation : ORIENTATION_TOPLEFT);
    TIFFSetField(t, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
    TIFFSetField(t, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
    if (pages > 1) {
        TIFFSetField(t, TIFFTAG_SUBFILETYPE, FILETYPE_PAGE);
        TIFFSetField(t, TIFFTAG_PAGENUMBER, uint16_t(page), uint16_t(pages));
    }
    switch (d.mode) {
    case ColorMode::CMYK:
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_SEPARATED);
        TIFFSetField(t, TIFFTAG_INKSET, INKSET_CMYK);
        break;
    case ColorMode::Lab:
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_CIELAB);
        break;
    default:
        TIFFSetField(t, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
        break;
    }
    if (d.hasAlpha) {
        const uint16_t extra[] = {EXTRASAMPLE_UNASSALPHA};
        TIFFSetField(t, TIFFTAG_EXTRASAMPLES, uint16_t(1), extra);
    }
    if (!d.iccProfile.empty())
        TIFFSetField(t, TIFFTAG_ICCPROFILE, uint32_t(d.iccProfile.size()), d.iccProfile.data());
    if (m.xResolution > 0 && m.yResolution > 0) {
        TIFFSetField(t, TIFFTAG_XRESOLUTION, float(m.xResolution));
        TIFFSetField(t, TIFFTAG_YRESOLUTION, float(m.yResolution));
        TIFFSetField(t, TIFFTAG_RESOLUTIONUNIT,
                     m.resolutionUnit == ResolutionUnit::Inch         ? RESUNIT_INCH
                     : m.resolutionUnit == ResolutionUnit::Centimetre ? RESUNIT_CENTIMETER
                                                                      : RESUNIT_NONE);
    }
    if (!m.xmp.empty()) TIFFSetField(t, TIFFTAG_XMLPACKET, uint32_t(m.xmp.size()), m.xmp.data());

    std::optional<StripEncoder> own;
    StripEncoder& strips = encoded ? *encoded : own.emplace(d);
    TIFFSetField(t, TIFFTAG_ROWSPERSTRIP, uint32_t(strips.RowsPerStrip()));
    strips.RowsFinal(d.height);
    for (size_t k = 0; k < strips.StripCount(); ++k) {
        if (cancel && cancel()) throw Cancelled();
        const std::vector<uint8_t>& bytes = strips.Strip(k);
        if (TIFFWriteRawStrip(t, uint32_t(k), const_cast<uint8_t*>(bytes.data()),
                              tmsize_t(bytes.size())) < 0)
            throw Broken(shown, "cannot write strip " + std::to_string(k));
        strips.Release(k);
    }
}

} // namespace

void WriteTiff(const std::vector<const Document*>& pages, const std::filesystem::path& path,
               const std::filesystem::path& shown, const CancelCheck& cancel,
               const std::vector<StripEncoder*>& encoded) {
    for (size_t page = 0; page < encoded.size(); ++page)
        if (encoded[page] && (page >= pages.size() || &encoded[page]->Of() != pages[page]))
            throw std::logic_error("strips encoded from another document");
    SilenceTiff();
    Tiff tiff(TIFFOpen(path.c_str(), "w"));
    if (!tiff) throw Broken(shown, "cannot create TIFF file");
    TIFF* t = tiff.get();
    for (size_t page = 0; page < pages.size(); ++page) {
        WritePage(t, *pages[page], shown, page, pages.size(),
                  page < encoded.size() ? encoded[page] : nullptr, cancel);
        if (pages.size() > 1 && !TIFFWriteDirectory(t))
            throw Broken(shown, "cannot write page " + std::to_string(page + 1));
    }
    TIFF* closing = tiff.release();
    if (!TIFFFlush(closing)) {
        TIFFClose(closing);
        throw Broken(shown, "cannot finish TIFF file");
    }
    TIFFClose(closing);
}

} // namespace quillon::filterhost
