#pragma once
// How the bottom layers tell the user something without knowing the shell above them: the shell
// installs a message sink at start-up (the message line of the main window). Until one is
// installed, and after it is taken away, a message is written to the log only.

#include <functional>
#include <string>

// Shows `text`; also logs it when `log` is set and the text is not empty.
using MessageSink = std::function<void(const std::string& text, bool log)>;

// Installs the sink; an empty one takes it away. Callable from every thread.
void gf_setMessageSink(MessageSink sink);

// Hands the text to the installed sink, else logs it (when it is not empty).
void gf_reportMessage(const std::string& text, bool log);
