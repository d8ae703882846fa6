#pragma once
// The application in a terminal: prints the screen as text and obeys commands read one
// per line (tap, back, tab, type, ...), the same verbs the tests use. The main loop
// keeps running between commands, so background work lands while a person reads.
#include <iosfwd>

// Runs until "quit", the end of the input, or stopTerminalSession(). Answers the exit status.
int runTerminalSession(std::istream& in, std::ostream& out);
// The same, writing to a file descriptor (the terminal, kept aside before standard
// output went to the log file).
int runTerminalSession(std::istream& in, int outputDescriptor);
// Ends a running session from any thread (a signal watcher).
void stopTerminalSession();
