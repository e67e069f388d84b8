#pragma once
// Start-up as it happens, for whoever wants to watch it: the engine reports the named steps of
// its Init, the demo each effect's Init within them, and the loaders every shader, mesh and
// texture they load. The player has no observer; the start-up benchmark times the real Init
// through one.

enum class StartupEvent { kStep, kShader, kMesh, kTexture };

class IStartupObserver {
public:
    virtual ~IStartupObserver() = default;
    // `name` is a step's name or a loaded file's path. Every Begin is followed by its End, and
    // what happens within a step comes between the two.
    virtual void Begin(StartupEvent event, const char* name) = 0;
    virtual void End(StartupEvent event, const char* name) = 0;
};

// Null unless something watches.
extern IStartupObserver* gStartupObserver;

// Reports one piece of start-up to gStartupObserver, from construction to destruction, so an
// early return still ends it.
class StartupScope {
public:
    StartupScope(StartupEvent event, const char* name);
    ~StartupScope();
    StartupScope(const StartupScope&) = delete;
    StartupScope& operator=(const StartupScope&) = delete;

    // Ends this piece and begins the next of the same kind, for steps that follow one another.
    void Next(const char* nextName);

private:
    const StartupEvent event;
    const char* name;
};
