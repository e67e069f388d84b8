#include "support/FakeDemoParts.h"

namespace {

std::string LabelOf(const char* displayName) { return displayName ? displayName : "(unnamed)"; }

}  // namespace

FakeEffect::FakeEffect(const char* displayName, CallJournal& journal, bool initSucceeds)
    : IEffect(displayName), label(LabelOf(displayName)), journal(journal), initSucceeds(initSucceeds) {}

bool FakeEffect::Init() {
    journal.push_back("Init " + label);
    return initSucceeds;
}

void FakeEffect::Render(float) { journal.push_back("Render " + label); }

void FakeEffect::Shutdown() { journal.push_back("Shutdown " + label); }

FakePostProcessor::FakePostProcessor(const char* displayName, CallJournal& journal, bool initSucceeds)
    : IPostProcessor(displayName), label(LabelOf(displayName)), journal(journal), initSucceeds(initSucceeds) {}

bool FakePostProcessor::Init() {
    journal.push_back("Init " + label);
    return initSucceeds;
}

void FakePostProcessor::Shutdown() { journal.push_back("Shutdown " + label); }

void FakeRenderer::RenderFrame(IEffect& effect) {
    AdvanceFrame(effect);
    frames.push_back({&effect, postProcessor, effect.time});
}
