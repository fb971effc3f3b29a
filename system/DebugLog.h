#pragma once

// One trace line to the debug output channel, when the machine's debug switch
// is on. The switch is read on every call, so it can be flipped at run time.
void WriteDebugLog(const char* message);
