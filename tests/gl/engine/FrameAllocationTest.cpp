// A frame of the player must not allocate: every buffer, program and texture is made in Init.
// This binary counts the C++ allocations made while the real engine runs frames in every section
// of the demo as authored. The GL driver is not ours to judge: the software rasteriser compiles
// shader variants with LLVM (C++) at draw time, so allocations made from inside the driver are
// told apart by their call stack and left out.
#include "engine/Engine.h"
#include "support/CaptureTool.h"
#include "support/EngineRunDirectory.h"

#include <GL/glew.h>
#include <dlfcn.h>
#include <execinfo.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <new>

namespace {
std::atomic<bool> gCounting{false};
std::atomic<long> gOurAllocations{0};
}  // namespace

// The sanitizers bring their own allocator, which the driver's other allocation forms reach; a
// replacement of the plain forms alone would mismatch them. The count runs in the normal build.
#ifndef __SANITIZE_ADDRESS__
#define QUARN_COUNTS_ALLOCATIONS 1

namespace {

thread_local bool tInsideCheck = false;

bool IsDriverLibrary(const char* path) {
    return path && (std::strstr(path, "/dri/") || std::strstr(path, "libLLVM") || std::strstr(path, "libGL"));
}

bool CalledFromGLDriver() {
    void* frames[64];
    const int count = backtrace(frames, 64);
    for (int i = 1; i < count; ++i) {
        Dl_info info;
        if (dladdr(frames[i], &info) && IsDriverLibrary(info.dli_fname)) return true;
    }
    return false;
}

void CountAllocation() {
    if (!gCounting || tInsideCheck) return;
    tInsideCheck = true;
    if (!CalledFromGLDriver()) ++gOurAllocations;
    tInsideCheck = false;
}

}  // namespace

void* operator new(std::size_t size) {
    CountAllocation();
    if (void* memory = std::malloc(size ? size : 1)) return memory;
    throw std::bad_alloc();
}
// GCC cannot see that these pair with the replacement above, and warns of a mismatch.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
#pragma GCC diagnostic pop
#endif

namespace {

// One moment in each section of the timeline, in seconds (beats x 60 / 126): the planet, the
// greetings tube, the sphere morph, the cube tunnel's pulses, the sphere without bloom, the finale.
constexpr float kSectionSeconds[] = {23.81f, 72.38f, 83.81f, 138.10f, 148.57f, 171.43f};

class FrameAllocationTest : public testing::Test {
protected:
    void SetUp() override {
#ifndef QUARN_COUNTS_ALLOCATIONS
        GTEST_SKIP() << "allocations are counted in the build without sanitizers";
#endif
        ASSERT_TRUE(run.Valid());
        ASSERT_TRUE(run.AddDemoData());
        if (!LinkBuiltSoundtrack(run)) GTEST_SKIP() << "no generated soundtrack in this build";
        previousDirectory = std::filesystem::current_path();
        std::filesystem::current_path(run.Path());
        ASSERT_TRUE(engine.Init(platform::GetModuleHandle()));
        // The unwinder loads itself on its first use; that is not the frame's doing.
        void* frame[1];
        backtrace(frame, 1);
    }

    void TearDown() override {
        gCounting = false;
        engine.Shutdown();
        platform::Message message;
        while (platform::PeekMessage(message, {}, 0, 0, platform::PM_REMOVE)) {}
        if (!previousDirectory.empty()) std::filesystem::current_path(previousDirectory);
        gSync = nullptr;
        gEngine = nullptr;
    }

    EngineRunDirectory run;
    std::filesystem::path previousDirectory;
    Engine engine;
};

TEST_F(FrameAllocationTest, FramesInEverySectionAllocateNothing) {
    for (const float seconds : kSectionSeconds) {
        alSourcef(engine.soundtrack.source, AL_SEC_OFFSET, seconds);
        gOurAllocations = 0;
        gCounting = true;
        for (int frame = 0; frame < 2; ++frame) engine.Frame();
        gCounting = false;
        EXPECT_EQ(gOurAllocations.load(), 0) << "frames at " << seconds << " s allocated";
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR)) << "at " << seconds << " s";
    }
    // The frames really ran: the music was still playing, so none of them ended the program.
    ALint state = 0;
    alGetSourcei(engine.soundtrack.source, AL_SOURCE_STATE, &state);
    EXPECT_EQ(state, AL_PLAYING);
}

// The counter itself must see an allocation made by our own code, or the test above proves nothing.
TEST(FrameAllocationCounter, CountsAnAllocationOfOurs) {
#ifndef QUARN_COUNTS_ALLOCATIONS
    GTEST_SKIP() << "allocations are counted in the build without sanitizers";
#endif
    gOurAllocations = 0;
    gCounting = true;
    auto* value = new int(7);
    gCounting = false;
    EXPECT_EQ(gOurAllocations.load(), 1);
    delete value;
}

}  // namespace
