#include "kit/application/Handler.h"

#include "kit/application/Looper.h"

namespace {
std::atomic<uint64> gNextToken{1};
}

BHandler::BHandler(const char* name) : fName(name ? name : ""), fToken(gNextToken++) {}

BHandler::~BHandler() {
    BLooper* looper = fLooper.load();
    if (looper != nullptr && looper != this)
        looper->RemoveHandler(this);
}

void BHandler::MessageReceived(BMessage*) {}
