#include "engine/AppWindow.h"

#include "engine/Engine.h"
#include "log/ILogger.h"
#include "render/GLContext.h"

#include <GL/glew.h>

Engine* gEngine = nullptr;

namespace {

constexpr const char16_t* kWindowClassName = u"QuarnEngineWindow";
constexpr const char16_t* kWindowTitle = u"QuarnEngine";

void RegisterWindowClass(platform::InstanceHandle instance) {
    platform::WindowClass windowClass;
    windowClass.style = platform::CS_VREDRAW | platform::CS_HREDRAW | platform::CS_OWNDC;
    windowClass.windowProc = WindowProcedure;
    windowClass.instance = instance;
    windowClass.className = kWindowClassName;
    // A second registration finds the class in place, which is what we want.
    platform::RegisterClassEx(windowClass);
}

platform::WindowHandle CreateFullScreenWindow(int width, int height, platform::InstanceHandle instance) {
    platform::DevMode mode;
    mode.pelsWidth = static_cast<uint32_t>(width);
    mode.pelsHeight = static_cast<uint32_t>(height);
    mode.bitsPerPel = 32;
    mode.fields = platform::DM_BITSPERPEL | platform::DM_PELSWIDTH | platform::DM_PELSHEIGHT;
    if (platform::ChangeDisplaySettings(&mode, platform::CDS_FULLSCREEN) != platform::DISP_CHANGE_SUCCESSFUL) return {};
    platform::ShowCursor(false);
    return platform::CreateWindowEx(platform::WS_EX_APPWINDOW, kWindowClassName, kWindowTitle,
                                    platform::WS_POPUP | platform::WS_CLIPSIBLINGS | platform::WS_CLIPCHILDREN, 0, 0,
                                    width, height, instance);
}

platform::WindowHandle CreateCentredWindow(int width, int height, platform::InstanceHandle instance) {
    const int x = platform::GetSystemMetrics(platform::SM_CXSCREEN) / 2 - width / 2;
    const int y = platform::GetSystemMetrics(platform::SM_CYSCREEN) / 2 - height / 2;
    return platform::CreateWindowEx(platform::WS_EX_APPWINDOW | platform::WS_EX_WINDOWEDGE, kWindowClassName,
                                    kWindowTitle,
                                    platform::WS_OVERLAPPEDWINDOW | platform::WS_CLIPSIBLINGS | platform::WS_CLIPCHILDREN,
                                    x, y, width, height, instance);
}

bool Adopt(platform::WindowHandle window, AppWindow& appWindow, bool show) {
    if (!window) return false;
    appWindow.window = window;
    platform::ShowWindow(window, show ? platform::SW_SHOW : platform::SW_HIDE);
    return true;
}

void PrepareClass(AppWindow& appWindow, Engine* engine) {
    appWindow.instance = platform::GetModuleHandle();
    gEngine = engine;
    RegisterWindowClass(appWindow.instance);
}

}  // namespace

bool CreateClientSizedWindow(int width, int height, AppWindow& appWindow, Engine* engine) {
    PrepareClass(appWindow, engine);
    constexpr uint32_t kStyle = platform::WS_OVERLAPPEDWINDOW | platform::WS_CLIPSIBLINGS | platform::WS_CLIPCHILDREN;
    constexpr uint32_t kExStyle = platform::WS_EX_APPWINDOW | platform::WS_EX_WINDOWEDGE;
    platform::Rect frame{0, 0, width, height};
    platform::AdjustWindowRectEx(frame, kStyle, kExStyle);
    const int outerWidth = frame.right - frame.left;
    const int outerHeight = frame.bottom - frame.top;
    const int x = platform::GetSystemMetrics(platform::SM_CXSCREEN) / 2 - outerWidth / 2;
    const int y = platform::GetSystemMetrics(platform::SM_CYSCREEN) / 2 - outerHeight / 2;
    return Adopt(platform::CreateWindowEx(kExStyle, kWindowClassName, kWindowTitle, kStyle, x, y, outerWidth,
                                          outerHeight, appWindow.instance),
                 appWindow, true);
}

bool CreateDesktopWindow(AppWindow& appWindow, Engine* engine) {
    PrepareClass(appWindow, engine);
    const int width = platform::GetSystemMetrics(platform::SM_CXSCREEN);
    const int height = platform::GetSystemMetrics(platform::SM_CYSCREEN);
    if (width <= 0 || height <= 0) return false;
    platform::ShowCursor(false);
    return Adopt(platform::CreateWindowEx(platform::WS_EX_APPWINDOW, kWindowClassName, kWindowTitle,
                                          platform::WS_POPUP | platform::WS_CLIPSIBLINGS | platform::WS_CLIPCHILDREN,
                                          0, 0, width, height, appWindow.instance),
                 appWindow, true);
}

bool CreateAppWindow(int width, int height, AppWindow& appWindow, Engine* engine, bool show, bool fullScreen) {
    PrepareClass(appWindow, engine);
    return Adopt(fullScreen ? CreateFullScreenWindow(width, height, appWindow.instance)
                            : CreateCentredWindow(width, height, appWindow.instance),
                 appWindow, show);
}

bool LoadExtensions(const AppWindow& appWindow) {
    const platform::DeviceContext dc = platform::GetDC(appWindow.window);
    if (!SetClassicPixelFormat(dc)) return false;

    const platform::GLContextHandle context = platform::CreateContext(dc);
    platform::MakeCurrent(dc, context);
    // Core-profile entry points are only found when GLEW does not trust the extension string.
    glewExperimental = GL_TRUE;
    const GLenum result = glewInit();
    platform::MakeCurrent({}, {});
    platform::DeleteContext(context);
    platform::ReleaseDC(appWindow.window, dc);
    if (!platform::GlewLoaded(result)) {
        gLogger->Error("Failed to initialize GLEW!");
        return false;
    }
    return true;
}

intptr_t WindowProcedure(platform::WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) {
    if (message == platform::WM_DESTROY) {
        platform::PostQuitMessage(0);
        return 0;
    }
    if (gEngine) return gEngine->HandleMessage(message, wParam, lParam, window);
    return platform::DefWindowProc(window, message, wParam, lParam);
}
