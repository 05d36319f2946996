#include "tiles/MessageQueue.h"

#include <utility>

namespace Vanta {

void MessageQueue::push(std::shared_ptr<Message> message) {
    {
        std::lock_guard lock(mutex);
        if (!accepting) {
            return;
        }
        messages.push_back(std::move(message));
    }
    messageAvailable.notify_one();
}

bool MessageQueue::pop(std::shared_ptr<Message>& message) {
    std::unique_lock lock(mutex);
    if (closed) {
        return false;
    }
    messageAvailable.wait(lock, [this] { return closed || !messages.empty(); });
    if (closed) {
        return false;
    }
    message = std::move(messages.front());
    messages.pop_front();
    if (messages.empty()) {
        lock.unlock();
        drained.notify_all();
    }
    return true;
}

void MessageQueue::close(bool drain) {
    {
        std::unique_lock lock(mutex);
        accepting = false;
        if (drain) {
            drained.wait(lock, [this] { return messages.empty(); });
        }
        closed = true;
    }
    messageAvailable.notify_all();
}

} // namespace Vanta
