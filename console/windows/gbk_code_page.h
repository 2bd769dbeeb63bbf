// The Windows code page of GBK (936): what the game writes, reads names in, and puts the console on.
#pragma once

inline constexpr unsigned int kGbkCodePage = 936;  // a UINT, as the code-page functions take it
