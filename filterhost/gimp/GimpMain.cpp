// quillon-gimp: the GIMP 2.10 plug-in. It registers plug-in-quillon in Filters > Colors and runs
// each call through the bridge; every failure becomes an error status with a message naming its
// cause, which GIMP shows.
#include "core/HostFailure.h"
#include "gimp/BridgeRun.h"

#include <libgimp/gimp.h>

#include <new>
#include <string>

namespace {

using namespace quillon::gimp;

constexpr const char* kProcedure = "plug-in-quillon";

// GIMP's tables take mutable strings it never writes to.
gchar* Text(const char* text) {
    return const_cast<gchar*>(text);
}

void Query() {
    static const GimpParamDef arguments[] = {
        {GIMP_PDB_INT32, Text("run-mode"),
         Text("The run mode { RUN-INTERACTIVE (0), RUN-NONINTERACTIVE (1), "
              "RUN-WITH-LAST-VALS (2) }")},
        {GIMP_PDB_IMAGE, Text("image"), Text("Input image")},
        {GIMP_PDB_DRAWABLE, Text("drawable"), Text("Input drawable (RGB or RGBA)")},
        {GIMP_PDB_STRING, Text("colors"),
         Text("The adjustments as a Colors text: \"Lab[L,a,b]:Lab[L,a,b] \" moves the first "
              "colour to the second (components 0..32768, a and b neutral at 16384)")},
        {GIMP_PDB_FLOAT, Text("fuzziness"), Text("How far each adjustment reaches (1..10)")},
        {GIMP_PDB_INT32, Text("preserve-luminosity"),
         Text("Keep each colour's lightness (TRUE or FALSE)")},
        {GIMP_PDB_FLOAT, Text("amount"), Text("Strength of the filter in percent (0..100)")},
    };
    gimp_install_procedure(kProcedure, "Recolour by example",
                           "Moves the colours picked in the picture to the colours picked in a "
                           "sample, smoothly and with their neighbours.",
                           "Quillon", "Quillon", "2026", "Quillon\xE2\x80\xA6", "RGB*", GIMP_PLUGIN,
                           G_N_ELEMENTS(arguments), 0, arguments, nullptr);
    gimp_plugin_menu_register(kProcedure, "<Image>/Filters/Colors");
}

std::optional<LastUse> StoredLastUse() {
    const gint size = gimp_get_data_size(kProcedure);
    if (size <= 0) return std::nullopt;
    std::string text(size_t(size), '\0');
    if (!gimp_get_data(kProcedure, text.data())) return std::nullopt;
    return ReadLastUse(text);
}

struct Answer {
    GimpPDBStatusType status = GIMP_PDB_SUCCESS;
    std::string error; // shown to the user and returned to the caller
};

Answer Call(gint count, const GimpParam* params) {
    if (count < 3) return {GIMP_PDB_CALLING_ERROR, "plug-in-quillon takes at least 3 arguments"};
    BridgeRequest request;
    switch (params[0].data.d_int32) {
    case GIMP_RUN_INTERACTIVE:
        request.mode = RunMode::Interactive;
        break;
    case GIMP_RUN_WITH_LAST_VALS:
        request.mode = RunMode::WithLastValues;
        break;
    default:
        request.mode = RunMode::NonInteractive;
    }
    request.image = params[1].data.d_image;
    request.drawable = params[2].data.d_drawable;
    if (request.mode == RunMode::NonInteractive) {
        if (count != 7)
            return {GIMP_PDB_CALLING_ERROR, "plug-in-quillon takes 7 arguments when called "
                                            "non-interactively, not " +
                                                std::to_string(count)};
        const gchar* colors = params[3].data.d_string;
        request.values = {colors ? colors : "", params[4].data.d_float, params[5].data.d_int32 != 0,
                          params[6].data.d_float};
        if (std::string why = CheckCallValues(request.values); !why.empty())
            return {GIMP_PDB_CALLING_ERROR, why};
    } else {
        request.last = StoredLastUse();
    }
    const BridgeOutcome outcome = RunBridge(request);
    if (outcome.cancelled) return {GIMP_PDB_CANCEL, {}};
    if (outcome.use) {
        const std::string text = LastUseText(*outcome.use);
        gimp_set_data(kProcedure, text.data(), guint32(text.size()));
    }
    if (request.mode != RunMode::NonInteractive) gimp_displays_flush();
    return {};
}

void Run(const gchar*, gint count, const GimpParam* params, gint* returnCount,
         GimpParam** returnValues) noexcept {
    static GimpParam values[2];
    static std::string error;
    Answer answer;
    try {
        gegl_init(nullptr, nullptr);
        answer = Call(count, params);
    } catch (const quillon::filterhost::HostFailure& e) {
        answer = {GIMP_PDB_EXECUTION_ERROR, e.what()};
    } catch (const std::bad_alloc&) {
        answer = {GIMP_PDB_EXECUTION_ERROR, "out of memory; the image is unchanged"};
    } catch (const std::exception& e) {
        answer = {GIMP_PDB_EXECUTION_ERROR, e.what()};
    }
    *returnValues = values;
    *returnCount = 1;
    values[0].type = GIMP_PDB_STATUS;
    values[0].data.d_status = answer.status;
    // GIMP shows the error returned as its message, naming the procedure, wherever the call
    // came from.
    if (!answer.error.empty()) {
        error = answer.error;
        values[1].type = GIMP_PDB_STRING;
        values[1].data.d_string = error.data();
        *returnCount = 2;
    }
}

const GimpPlugInInfo kPlugIn = {nullptr, nullptr, Query, Run};

} // namespace

int main(int argc, char** argv) {
    return gimp_main(&kPlugIn, argc, argv);
}
