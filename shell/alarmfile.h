// "%sALARM.SET" across a run while the alarm engine is still to come: the
// file is kept as it was read when the main window is created and written
// back when it closes, so the user's alarms survive; a missing file is
// written as an empty list with sound and pop-up on.
#pragma once

void KeepAlarmFile();
void WriteKeptAlarmFile();
