#pragma once
// The application in a terminal: prints the screen as text and obeys commands read one
// per line (tap, back, tab, type, ...; TerminalCommands), the same verbs the tests use.
// The main loop keeps running while a person types, so background work lands between
// commands.
#include <string>

// Reads lines from `inputDescriptor` (standard input: a terminal, a script, a pipe)
// and answers on `outputDescriptor`, errors on `errorDescriptor` (standard output and
// error, kept aside before they went to the log file), until "quit", the end of the
// input, or stopTerminalSession(); a quit while the package tools run waits for them
// once (QuitGate), saying so. When the input is a terminal, lines are edited:
// completion, Ctrl-C, and a history kept in `historyFile` (none when empty).
// Answers the exit status: 1 when a command read from a script or a pipe failed, else 0.
int runTerminalSession(int inputDescriptor, int outputDescriptor, int errorDescriptor,
                       const std::string& historyFile = {});
// Ends a running session from any thread.
void stopTerminalSession();
// A quit asked from any thread (a signal watcher): as the quit command, it waits for the
// package tools once while they run (QuitGate).
void askTerminalSessionToQuit();
// A Ctrl-C from any thread: stops the command that is running (a wait) and answers
// true. Answers false when no command runs, or this one was interrupted already: the
// caller then ends the session, as at an empty prompt.
bool interruptTerminalCommand();
