#pragma once
// The application in a terminal: prints the screen as text and obeys commands read one
// per line (tap, back, tab, type, ...; TerminalCommands), the same verbs the tests use.
// The main loop keeps running while a person types, so background work lands between
// commands.
// Reads lines from `inputDescriptor` (standard input: a terminal, a script, a pipe)
// and answers on `outputDescriptor` (the terminal, kept aside before standard output
// went to the log file), until "quit", the end of the input, or stopTerminalSession().
// When the input is a terminal, lines are edited: history, completion, Ctrl-C.
// Answers the exit status.
int runTerminalSession(int inputDescriptor, int outputDescriptor);
// Ends a running session from any thread (a signal watcher).
void stopTerminalSession();
// A Ctrl-C from any thread: stops the command that is running (a wait) and answers
// true. Answers false when no command runs, or this one was interrupted already: the
// caller then ends the session, as at an empty prompt.
bool interruptTerminalCommand();
