// The queue between the bus delivery threads and the module's worker: first
// in, first out, one mutex held only to move one message.
#pragma once

#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>

namespace Vanta {

class Message;

class MessageQueue {
public:
    // Appends the message while the queue accepts; afterwards drops it silently.
    void push(std::shared_ptr<Message> message);
    // Waits for the first message; false once the queue is closed.
    bool pop(std::shared_ptr<Message>& message);
    // Stops accepting, waits until every queued message was taken (when `drain`; a queue
    // nobody pops would never drain), then closes: pop answers false from now on.
    void close(bool drain = true);

private:
    std::mutex mutex;
    std::condition_variable messageAvailable;
    std::condition_variable drained;
    std::deque<std::shared_ptr<Message>> messages;
    bool closed = false;
    bool accepting = true;
};

} // namespace Vanta
