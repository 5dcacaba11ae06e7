#pragma once
// The main dispatch queue: blocks posted with dispatch_async run in order on the main
// thread at the next turn of the main run loop. A turn is each firing of a timer from a
// host's run loop (CFHostRunLoop.h), each timer a test's hand-stepped loop fires and the
// end of its step (CFRunLoopTesting.h), or an explicit cfshim::DrainMainQueue. Main thread
// only. A block never runs inside dispatch_async.
#include <functional>

#include "shims/apple/corefoundation/JobQueue.h"

typedef struct dispatch_queue_s* dispatch_queue_t;

dispatch_queue_t dispatch_get_main_queue();
// Queues the block on the queue (the main queue is the only one). A null queue or an
// empty block does nothing.
void dispatch_async(dispatch_queue_t queue, std::function<void()> block);

namespace cfshim {

// One turn's worth of the main queue: runs what is queued (and what those blocks queue).
// Answers how many blocks ran.
int DrainMainQueue();
int MainQueuePending();

}  // namespace cfshim
