#pragma once
// The one way from any thread to the GUI thread: a queue of tasks that the GUI thread drains
// after every wake-up. The toolkit is not thread-safe, so every window call from another thread
// (repaint, enable, check, set text, stay on top, the application messages) becomes a task here.
// Posting never waits for the GUI thread; the GUI is woken once per batch, so the wake channel
// never fills up however many tasks are posted.

#include <cstddef>
#include <functional>

using GuiTask = std::function<void()>;

// The calling thread becomes the GUI thread; `wake` interrupts its wait for events and is called
// from any thread (never with the queue's lock held).
void gf_openGuiQueue(std::function<void()> wake);
// Drops what is pending; later posts are dropped until the queue is opened again.
void gf_closeGuiQueue();
bool gf_guiQueueOpen();
bool gf_isGuiThread();

// Queued for the GUI thread even when called on it; false (and nothing done) when no window
// exists.
bool gf_postToGui(GuiTask task);
// On the GUI thread at once, from other threads queued; false when dropped.
bool gf_runOnGui(GuiTask task);

// GUI thread: runs the tasks queued so far, oldest first; returns how many ran.
std::size_t gf_drainGuiQueue();
