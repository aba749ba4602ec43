// The main-thread facility: workers and the event dispatcher hand calls to the host's main
// thread, which runs them when it checks the queue. The host installs a wake-up hook (the Qt
// application posts an event; the CLI and the tests wait in their own loop).
#pragma once

#include <chrono>
#include <functional>

namespace MainThread {

// The thread that runs queued calls. Defaults to the thread that started the process.
void BindToCurrentThread();
bool IsMainThread();

// Called from any thread whenever a call is queued; it must make the main thread run Check().
// The hook runs on the queuing thread and must not block.
void SetWakeHook(std::function<void()> hook);

// Runs fn on the main thread and waits for it (runs it directly when already there).
void CallSync(const std::function<void()>& fn);

// Queues fn for the main thread without waiting.
void Post(std::function<void()> fn);

// Runs every pending call; returns how many ran. Main thread only.
int Check();

// Main thread: waits until something is queued (or the timeout), then runs what is pending.
int WaitAndCheck(std::chrono::milliseconds timeout);

// Main thread: runs queued calls until pred() holds or the timeout passes; returns pred().
bool RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);

} // namespace MainThread
