// The registration resource: what the host learns about the filter before it ever calls it.
#include "resources/PluginResources.h"
#include "resources/ResourceWriter.h"

namespace quillon::resources {

std::vector<uint8_t> BuildPropertyList() {
    ResourceWriter out;
    out.U16(1);
    out.U32(0);
    out.U32(10);
    WriteProperty(out, "kind", [](ResourceWriter& w) { w.FourCC("8BFM"); });
    WriteProperty(out, "name", [](ResourceWriter& w) { w.PascalString("Quillon..."); });
    WriteProperty(out, "catg", [](ResourceWriter& w) { w.PascalString("Nerrow"); });
    WriteProperty(out, "vers", [](ResourceWriter& w) { w.U32(0x00040000); });
    WriteProperty(out, "wx86", [](ResourceWriter& w) { w.CString("PluginMain"); });
    WriteProperty(out, "hstm", [](ResourceWriter& w) {
        w.U32(0);
        w.FourCC("sdk1");
        w.FourCC("sdk1");
        w.U16(kTerminologyID);
        w.CString(kUniqueString);
    });
    // RGB, CMYK and Lab, counted from the first byte's most significant bit
    WriteProperty(out, "mode", [](ResourceWriter& w) {
        w.U8(0x18);
        w.U8(0x40);
        w.U8(0x00);
        w.U8(0x00);
    });
    WriteProperty(out, "enbl", [](ResourceWriter& w) {
        w.CString("in (PSHOP_ImageMode, RGBMode,CMYKMode, LabMode,RGB48Mode, CMYK64Mode, "
                  "Lab48Mode)");
    });
    WriteProperty(out, "ms32", [](ResourceWriter& w) {
        w.U32(2000000);
        w.U32(2000000);
    });
    // Straight data in and out for all seven filter cases; the host copies source to
    // destination, so the filter rewrites the output in place.
    WriteProperty(out, "fici", [](ResourceWriter& w) {
        for (int filterCase = 0; filterCase < 7; ++filterCase) {
            w.U8(1);
            w.U8(1);
            w.U8(0);
            w.U8(0);
        }
    });
    return out.Take();
}

} // namespace quillon::resources
