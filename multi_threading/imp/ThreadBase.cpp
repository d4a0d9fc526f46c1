#include "multi_threading/imp/ThreadBase.h"

#include <exception>
#include <memory>

#include "multi_threading/Factory.h"
#include "multi_threading/ScopedLock.h"
#include "multi_threading/imp/StartThreadMessage.h"
#include "multi_threading/imp/StopThreadMessage.h"
#include "multi_threading/imp/ThreadRegistry.h"
#include "output/Output.h"

namespace zu {
namespace multi_threading {
namespace imp {

ThreadBase::ThreadBase(const std::string& name, unsigned int stackSize, Priority priority,
                       bool adopted)
    : name_(name),
      priority_(priority),
      stackSize_(stackSize),
      adopted_(adopted),
      event_(factory::CreateEvent(false, false)) {}

ThreadBase::~ThreadBase() = default;

bool ThreadBase::IsUsable() const {
  return GetObjectMutex() && queue_.GetMutex() && event_;
}

bool ThreadBase::Init() {
  EventPtr startup = factory::CreateEvent(false, false);
  if (!startup) {
    ZU_ERROR("ZUMT", name_ + ", Error creating thread.");
    return false;
  }
  std::unique_ptr<InitStruct> init(new InitStruct{this, startup, shared_from_this()});
  if (!CreateOSThread(init.get())) {
    ZU_ERROR("ZUMT", name_ + ", Error creating thread.");
    return false;
  }
  init.release();  // the new thread owns it now

  bool ok = true;
  if (!startup->Wait()) {
    ZU_ERROR("ZUMT", name_ + ", Error waiting thread startup.");
    ok = false;
  }
  if (ok && !SetPriority(GetPriority())) {
    ZU_ERROR("ZUMT", name_ + ", Error setting priority.");
    ok = false;
  }
  return ok;
}

uint32_t ThreadBase::ThreadRunner(InitStruct* init) {
  ThreadPtr self;
  ThreadBase* thread = nullptr;
  {
    std::unique_ptr<InitStruct> owned(init);
    self = owned->self;
    thread = owned->thread;
    thread->SetState(Running);
    // The creator continues; init is not touched again.
    owned->startup->Set();
  }

  while (thread->state_.load() == Running) {
    MessagePtr message;
    if (thread->WaitThreadMessage(message) == Message::Failed)
      break;
    thread->Handle(message);
    AnswerUnhandled(message);
  }
  thread->Close();

  ThreadRegistry::Remove(thread).reset();
  // Possibly the last reference: the object may be destroyed here, on its own thread.
  self.reset();
  return 0;
}

void ThreadBase::Handle(const MessagePtr& message) {
  switch (message->id) {
    case Message::StopThreadId:
      SetState(Stopped);
      return;
    case Message::QuitId:
      return;
    case Message::StartThreadId: {
      SharedPtr<StartThreadMessage> start = std::dynamic_pointer_cast<StartThreadMessage>(message);
      if (!start || !start->object)
        break;
      // An exception must not end the process from a thread's entry; the loop goes on.
      try {
        start->object->Run();
      } catch (const std::exception& e) {
        ZU_ERROR("ZUMT", name_ + " Received exception: " + e.what());
      } catch (...) {
        ZU_ERROR("ZUMT", name_ + " Received unknown exception");
      }
      return;
    }
    default:
      break;
  }
  ZU_ERROR("ZUMT", name_ + " Received unknown message " + std::to_string(message->id));
}

void ThreadBase::Close() {
  SetState(Stopped);
  for (const MessagePtr& message : queue_.TakeAll())
    AnswerUnhandled(message);
}

void ThreadBase::AnswerUnhandled(const MessagePtr& message) {
  if (!message || !message->awaited_.exchange(false))
    return;
  message->failed_.store(true);
  SharedPtr<ThreadBase> sender = std::dynamic_pointer_cast<ThreadBase>(message->sender);
  // A sender that has ended waits for nothing any more.
  if (sender && !sender->IsStopped())
    sender->SendThreadMessage(message);
}

void ThreadBase::SetState(State state) {
  ScopedLock lock(queue_.GetMutex());
  state_.store(state);
}

bool ThreadBase::Start(ThreadObjectPtr object) {
  return SendThreadMessage(MessagePtr(new StartThreadMessage(std::move(object))));
}

bool ThreadBase::Stop() {
  if (IsCallingThread())
    return false;
  if (adopted_) {
    // Not ours to end: there is no loop to read the request and no handle to join.
    ZU_ERROR("ZUMT", name_ + " failed.");
    return false;
  }
  if (state_.load() == Stopped) {
    // The loop has ended (it may have done so on its own); make sure the thread is reaped.
    JoinOSThread();
    return true;
  }
  if (!SendThreadMessage(MessagePtr(new StopThreadMessage())))
    return false;
  return JoinOSThread();
}

bool ThreadBase::IsRunning() {
  return state_.load() == Running;
}

bool ThreadBase::IsStopped() {
  return state_.load() == Stopped;
}

bool ThreadBase::SetPriority(Priority priority) {
  if (!SetPriorityOS(priority))
    return false;
  ScopedLock lock(GetObjectMutex());
  priority_ = priority;
  return true;
}

Thread::Priority ThreadBase::GetPriority() {
  ScopedLock lock(GetObjectMutex());
  return priority_;
}

bool ThreadBase::SendThreadMessage(MessagePtr message) {
  if (!message) {
    ZU_ERROR("ZUMT", name_ + " failed.");
    return false;
  }
  bool set = false;
  {
    ScopedLock lock(queue_.GetMutex());
    if (state_.load() == Stopped) {
      ZU_ERROR("ZUMT", name_ + " failed.");
      return false;
    }
    queue_.Append(std::move(message));
    set = event_->Set();
  }
  if (!set) {
    ZU_ERROR("ZUMT", name_ + " failed.");
    return false;
  }
  SharedPtr<const WakeUpHook> hook = std::atomic_load(&wakeUpHook_);
  if (hook)
    (*hook)();
  return true;
}

Message::ReturnValue ThreadBase::SendThreadMessageAndWait(MessagePtr message) {
  SharedPtr<ThreadBase> sender;
  if (message)
    sender = std::dynamic_pointer_cast<ThreadBase>(message->sender);
  if (!sender) {
    ZU_ERROR("ZUMT", name_ + " failed.");
    return Message::Failed;
  }
  const unsigned int id = message->id;
  const unsigned int sequence = message->sequence;
  // Marked before it is posted: from then on whoever drops it unhandled answers it.
  message->awaited_.store(true);
  if (!SendThreadMessage(std::move(message)))
    return Message::Failed;
  for (;;) {
    Message::ReturnValue result = Message::Failed;
    if (sender->queue_.TakeReply(id, sequence, result))
      return result;
    // The sender's event is set after every append, and the queue is looked at again
    // after every wake-up, so a reply is never missed.
    if (!sender->event_->Wait())
      return Message::Failed;
  }
}

bool ThreadBase::ReplyThreadMessage(MessagePtr message) {
  if (message)
    message->awaited_.store(false);
  return SendThreadMessage(std::move(message));
}

Message::ReturnValue ThreadBase::WaitThreadMessage(MessagePtr& message) {
  Message::ReturnValue result = queue_.Wait(message, *event_, Time::Infinite());
  if (result == Message::Failed)
    ZU_ERROR("ZUMT", name_ + " failed.");
  return result;
}

Message::ReturnValue ThreadBase::TryWaitThreadMessage(MessagePtr& message, const Time& timeout) {
  if (timeout == Time::Zero())
    return queue_.GetMessage(message, true);
  Message::ReturnValue result = queue_.Wait(message, *event_, timeout);
  if (result == Message::Failed)
    ZU_ERROR("ZUMT", name_ + " failed.");
  return result;
}

void ThreadBase::SetWakeUpHook(WakeUpHook hook) {
  SharedPtr<const WakeUpHook> installed;
  if (hook)
    installed = std::make_shared<const WakeUpHook>(std::move(hook));
  std::atomic_store(&wakeUpHook_, installed);
}

}  // namespace imp
}  // namespace multi_threading
}  // namespace zu
