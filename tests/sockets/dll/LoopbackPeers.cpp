#include "LoopbackPeers.h"

int LoopbackPeers::echo;
int LoopbackPeers::http;

namespace {
testing::Environment* const peers = testing::AddGlobalTestEnvironment(new LoopbackPeers);
}
