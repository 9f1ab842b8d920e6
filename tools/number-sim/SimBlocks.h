#pragma once

// Names under which the main program and this tool find each other.
constexpr const char* MainWindowName = "TELORIA2_CLIENT_WINDOW_MMF";
constexpr const char* SimWindowName = "SIM_CLIENT_WINDOW_MMF";
constexpr const char* GroupBlockName = "TELORIA2_NUMBER_SIM_MMF";
constexpr const char* MemoryBlockName = "TELORIA2_NUMBER_SIM_MREAM_MMF";
