// The standard input the tests link: reads queued by a test, each handed out whole by one read,
// as a terminal hands out a line.
#pragma once

#include <string>
#include <vector>

// Replaces the queue. Each read returns the next entry's bytes, or fails when the entry is
// kFailedRead; once the queue is empty, reads find the end of the input.
void scriptStandardInput(std::vector<std::string> reads);

// An entry that stands for a read that fails.
inline const std::string kFailedRead = "<a read that fails>";
