#pragma once

#include <juce_events/juce_events.h>

namespace juce::detail
{
// The framework's own per-message dispatch, which its timed loops are built on.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}  // namespace juce::detail

// Runs the message loop for a while, so that timers (the shared animator's fades)
// and asynchronous calls happen. The framework's own timed loop is compiled only
// with modal loops permitted, which the shared framework library leaves out.
inline void pumpMessages (int milliseconds)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) milliseconds;

    while (juce::Time::getMillisecondCounter() < end)
        if (! juce::detail::dispatchNextMessageOnSystemQueue (true))
            juce::Thread::sleep (1);
}
