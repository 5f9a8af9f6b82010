// The settings' lives outside the plug-in: recorded parameters in the host's actions and the
// saved-settings block in the host's storage cell (the remembered sample: RememberedSample.h).
#pragma once

#include <cstdint>

namespace quillon::filter {

// Writes 'PrsL', 'Fzns', and when there is something to say 'qlnF' and 'smpl', into a new
// descriptor for the host to record.
void RecordParameters();

// Replaces the engine's settings with the recorded parameters when the host passes some.
// Returns false when a "Colors" text did not load whole.
bool ReadRecordedParameters();

// The saved-settings block: 'NQln', version 2, the switches and every user adjustment.
void SaveSettings();
void RestoreSettings();

// The user scale of fuzziness (1 to 10, one decimal) and back.
double FuzzinessToUser(float f);
float FuzzinessFromUser(double u);

} // namespace quillon::filter
