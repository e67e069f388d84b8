#pragma once
// The stand-in for the Win32, GDI, WGL and kernel32 services the engine uses.
// One interface, one backend per platform: SDL2 and GLX on Linux (sdl2/), the real calls on
// Windows (win32/). Nothing above this header includes SDL or windows.h: the engine sees only
// these types and functions.

#include <cstddef>
#include <cstdint>

namespace platform {

// ---- kernel32: files ---------------------------------------------------------------

// A file opened for writing; -1 is the invalid handle (INVALID_HANDLE_VALUE).
using FileHandle = intptr_t;
inline constexpr FileHandle kInvalidFile = -1;

// CreateFileW with GENERIC_WRITE, FILE_SHARE_READ, CREATE_ALWAYS: creates or truncates.
FileHandle CreateFileForWriting(const char* path);
// DeleteFileW, then CreateFileW with CREATE_NEW: a new file under the name, whatever lay there
// before (an earlier file, a link) removed and never written through; a name another user holds
// fails. On failure errno says why.
FileHandle CreateFreshFile(const char* path);
// WriteFile: one write per call, nothing buffered. Returns false when the write failed.
bool WriteFile(FileHandle file, const void* bytes, uint32_t size, uint32_t* written);
// CloseHandle.
void CloseHandle(FileHandle file);

// MultiByteToWideChar: narrow text is UTF-8 here. Converts `byteCount` bytes of `text`
// (include the terminator to get it converted too) into UTF-16. With `out` null, returns
// the number of code units needed; otherwise the number written, or 0 when `outCapacity`
// is too small. Malformed sequences become U+FFFD.
int MultiByteToWideChar(const char* text, int byteCount, char16_t* out, int outCapacity);

// CreateFileW with CREATE_NEW, in the user's own folder for short-lived files (the temporary
// folder on Windows; XDG_RUNTIME_DIR, else ~/.local/state/quarn, on Linux): a new file that only
// this user can read, whose name is `prefix`, a unique part and `suffix`; never an existing name
// or a link. Its UTF-8 path goes into `path`. kInvalidFile when there is no such folder or no room.
FileHandle CreatePrivateFile(const char* prefix, const char* suffix, char* path, size_t pathCapacity);
// DeleteFileW.
bool DeleteFile(const char* path);

// GetFileAttributesExW: a file's last-write time and size, read without opening the file.
struct FileStamp {
    int64_t modified = 0;  // nanoseconds, from an epoch of the system's choosing
    int64_t size = 0;
};
// False when nothing can be found at the path.
bool GetFileStamp(const char* path, FileStamp& stamp);

// How many files and sockets the program may hold open, after raising its own limit as far as
// the system lets it (the soft limit to the hard one). SIZE_MAX where the system counts none
// (Windows: a socket is not a C runtime file).
size_t RaiseOpenFileLimit();

// ---- kernel32: the console -------------------------------------------------------------

// AttachConsole(ATTACH_PARENT_PROCESS): a windowed program started from a console answers there
// (--help, --version, a refused option), unless its output already goes somewhere. A program
// that has its console anyway, as on Linux, keeps it.
void AttachParentConsole();

// ---- kernel32: the program's own resources -------------------------------------------

struct ResourceBlock {
    const uint8_t* bytes = nullptr;
    size_t size = 0;
};

// FindResourceW, LoadResource, LockResource and SizeofResource in one: the bytes of the resource
// `id` of the custom type `type` ("PNG"), or an empty block when the program holds none.
ResourceBlock FindResource(int id, const char* type);
// The image of the icon group `groupId` that is `size` pixels square (the RT_GROUP_ICON entry of
// that size, then the RT_ICON it names), as stored: a PNG. Empty when the group holds no such size.
ResourceBlock FindIconImage(int groupId, int size);

// ---- shell32 ------------------------------------------------------------------------

// ShellExecuteW's "open" of a URL or a page's path: the user's default browser shows it. False when there is no
// desktop session to show it in or nothing could be started.
bool OpenUrl(const char* url);

// ---- kernel32 / iphlpapi: this machine on the network --------------------------------

// GetComputerNameExW(ComputerNameDnsHostname): the name this machine goes by; false when there
// is none or it does not fit.
bool GetComputerName(char* name, size_t capacity);
// GetAdaptersAddresses: the addresses another machine could reach this one at, as numeric text:
// those of the interfaces that are up, without loopback and link-local ones; IPv6 ones only when
// asked. Fills up to `capacity` and returns how many.
struct AddressText {
    char text[46];  // INET6_ADDRSTRLEN
};
int GetAdaptersAddresses(bool ipv6, AddressText* addresses, int capacity);

// ---- kernel32: time ----------------------------------------------------------------

// GetTickCount: milliseconds since the program started (not since boot), so that the
// value held as a 32-bit float stays precise for the whole run.
uint32_t GetTickCount();
// Sleep.
void Sleep(uint32_t milliseconds);
// SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL): the calling thread does
// work in the background and gives way to the frame, yet still gets a fair share of a processor
// the frame keeps busy (a software rasteriser does): the lowest priority would starve it there.
void SetThreadPriorityBelowNormal();

// ---- user32: windows -----------------------------------------------------------------

// Handles are small ids, never reused within a run, so a stale handle is simply invalid.
struct WindowHandle {
    uint32_t id = 0;
    explicit operator bool() const { return id != 0; }
    bool operator==(const WindowHandle&) const = default;
};

// The program's instance (HINSTANCE); only carried along, as on Windows.
using InstanceHandle = const void*;
InstanceHandle GetModuleHandle();

using WindowProc = intptr_t (*)(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

// One image of an icon group, 8-bit RGBA rows from the top.
struct IconImage {
    int width = 0;
    int height = 0;
    const uint8_t* rgba = nullptr;
};

// WNDCLASSEXW, reduced to what the backend can honour.
struct WindowClass {
    uint32_t style = 0;
    WindowProc windowProc = nullptr;
    InstanceHandle instance = nullptr;
    const IconImage* icons = nullptr;  // the window icon in several sizes; may be empty
    int iconCount = 0;
    const char16_t* className = nullptr;
};

inline constexpr uint32_t CS_VREDRAW = 0x0001;
inline constexpr uint32_t CS_HREDRAW = 0x0002;
inline constexpr uint32_t CS_OWNDC = 0x0020;

inline constexpr uint32_t WS_POPUP = 0x80000000;
inline constexpr uint32_t WS_CLIPSIBLINGS = 0x04000000;
inline constexpr uint32_t WS_CLIPCHILDREN = 0x02000000;
inline constexpr uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000;
inline constexpr uint32_t WS_EX_APPWINDOW = 0x00040000;
inline constexpr uint32_t WS_EX_WINDOWEDGE = 0x00000100;

inline constexpr int SW_HIDE = 0;
inline constexpr int SW_SHOW = 5;

inline constexpr int SM_CXSCREEN = 0;
inline constexpr int SM_CYSCREEN = 1;

struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
};

// RegisterClassExW: false when a class of that name exists already.
bool RegisterClassEx(const WindowClass& windowClass);
// CreateWindowExW without parent, menu or creation parameter. WM_SIZE and WM_MOVE reach the
// window procedure before it returns. A WS_POPUP window that covers the display mode set by
// ChangeDisplaySettings runs full screen in that mode; one that covers the desktop while no mode
// is set runs full screen at the desktop's resolution.
WindowHandle CreateWindowEx(uint32_t exStyle, const char16_t* className, const char16_t* title, uint32_t style,
                            int x, int y, int width, int height, InstanceHandle instance);
// Sends WM_DESTROY, then destroys the window. False when there is no such window.
bool DestroyWindow(WindowHandle window);
bool ShowWindow(WindowHandle window, int command);
bool GetClientRect(WindowHandle window, Rect& rect);
bool SetWindowText(WindowHandle window, const char16_t* text);
int GetWindowTextLength(WindowHandle window);
// Copies at most capacity - 1 code units and a terminator; returns the number copied.
int GetWindowText(WindowHandle window, char16_t* text, int capacity);
// The largest image is used where the window system takes only one.
bool SetWindowIcon(WindowHandle window, const IconImage* images, int count);
int GetSystemMetrics(int index);
// AdjustWindowRectEx without a menu: grows a client rectangle to the window's outer one for that
// style, where the window system counts the frame in a window's size (Windows; elsewhere a no-op).
bool AdjustWindowRectEx(Rect& rect, uint32_t style, uint32_t exStyle);

// DEVMODEW, reduced to the fields the display-mode change uses.
struct DevMode {
    uint32_t fields = 0;
    uint32_t bitsPerPel = 0;
    uint32_t pelsWidth = 0;
    uint32_t pelsHeight = 0;
};

inline constexpr uint32_t DM_BITSPERPEL = 0x00040000;
inline constexpr uint32_t DM_PELSWIDTH = 0x00080000;
inline constexpr uint32_t DM_PELSHEIGHT = 0x00100000;
inline constexpr uint32_t CDS_FULLSCREEN = 0x00000004;
inline constexpr int32_t DISP_CHANGE_SUCCESSFUL = 0;
inline constexpr int32_t DISP_CHANGE_BADMODE = -2;

// ChangeDisplaySettingsW with CDS_FULLSCREEN: succeeds only when the display offers exactly that
// mode; the desktop mode comes back when the full-screen window goes or the program ends.
// A null mode goes back to the desktop mode.
int32_t ChangeDisplaySettings(const DevMode* mode, uint32_t flags);
int ShowCursor(bool show);

// ---- user32: messages ----------------------------------------------------------------

inline constexpr uint32_t WM_DESTROY = 0x0002;
inline constexpr uint32_t WM_MOVE = 0x0003;
inline constexpr uint32_t WM_SIZE = 0x0005;
inline constexpr uint32_t WM_CLOSE = 0x0010;
inline constexpr uint32_t WM_QUIT = 0x0012;
inline constexpr uint32_t WM_KEYDOWN = 0x0100;
inline constexpr uint32_t WM_CHAR = 0x0102;

inline constexpr uintptr_t SIZE_RESTORED = 0;
inline constexpr uint32_t PM_NOREMOVE = 0;
inline constexpr uint32_t PM_REMOVE = 1;

// Virtual-key codes: letters and digits are their upper-case ASCII codes.
inline constexpr uintptr_t VK_BACK = 0x08;
inline constexpr uintptr_t VK_TAB = 0x09;
inline constexpr uintptr_t VK_RETURN = 0x0D;
inline constexpr uintptr_t VK_SHIFT = 0x10;
inline constexpr uintptr_t VK_ESCAPE = 0x1B;
inline constexpr uintptr_t VK_SPACE = 0x20;
inline constexpr uintptr_t VK_HOME = 0x24;
inline constexpr uintptr_t VK_LEFT = 0x25;
inline constexpr uintptr_t VK_UP = 0x26;
inline constexpr uintptr_t VK_RIGHT = 0x27;
inline constexpr uintptr_t VK_DOWN = 0x28;

struct Message {
    WindowHandle window;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};

// LOWORD / HIWORD packing of WM_SIZE and WM_MOVE.
inline intptr_t MakeLParam(int low, int high) {
    return static_cast<intptr_t>((static_cast<uint32_t>(low) & 0xFFFF) | ((static_cast<uint32_t>(high) & 0xFFFF) << 16));
}
inline int LoWord(intptr_t value) { return static_cast<int>(static_cast<uint32_t>(value) & 0xFFFF); }
inline int HiWord(intptr_t value) { return static_cast<int>((static_cast<uint32_t>(value) >> 16) & 0xFFFF); }

// PeekMessageW. A null window and the range 0..0 take every message. WM_QUIT comes once the
// queue holds nothing else; its wParam is the exit code.
bool PeekMessage(Message& message, WindowHandle window, uint32_t filterMin, uint32_t filterMax, uint32_t removeFlags);
// Calls `step` until it returns false. A desktop backend loops right here; a browser calls it once
// per animation frame, so there this returns at once and the program lives on in the page.
using MainLoopStep = bool (*)(void* context);
void RunMainLoop(MainLoopStep step, void* context);
// Key presses arrive as WM_CHAR already translated by the window system's text input, so this
// only reports whether the message was a key-down.
bool TranslateMessage(const Message& message);
intptr_t DispatchMessage(const Message& message);
// WM_CLOSE destroys the window; everything else is accepted with 0.
intptr_t DefWindowProc(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
void PostQuitMessage(int exitCode);
// GetKeyState: the high bit is set while the key is held. Answers VK_SHIFT (either shift key).
int16_t GetKeyState(uintptr_t virtualKey);

// ---- gdi32 / opengl32: pixel formats and contexts -------------------------------------

// With CS_OWNDC every window has one device context, named after the window.
struct DeviceContext {
    uint32_t window = 0;
    explicit operator bool() const { return window != 0; }
    bool operator==(const DeviceContext&) const = default;
};

struct GLContextHandle {
    uint32_t id = 0;
    explicit operator bool() const { return id != 0; }
    bool operator==(const GLContextHandle&) const = default;
};

// PIXELFORMATDESCRIPTOR, reduced to the fields a GL window uses.
struct PixelFormatDescriptor {
    uint16_t size = 40;
    uint16_t version = 1;
    uint32_t flags = 0;
    uint8_t pixelType = 0;
    uint8_t colorBits = 0;
    uint8_t alphaBits = 0;
    uint8_t depthBits = 0;
    uint8_t stencilBits = 0;
    uint8_t layerType = 0;
};

inline constexpr uint32_t PFD_DOUBLEBUFFER = 0x01;
inline constexpr uint32_t PFD_DRAW_TO_WINDOW = 0x04;
inline constexpr uint32_t PFD_SUPPORT_OPENGL = 0x20;
inline constexpr uint8_t PFD_TYPE_RGBA = 0;
inline constexpr uint8_t PFD_MAIN_PLANE = 0;

// WGL_ARB_pixel_format, WGL_ARB_multisample and WGL_ARB_create_context attributes.
inline constexpr int WGL_DRAW_TO_WINDOW_ARB = 0x2001;
inline constexpr int WGL_ACCELERATION_ARB = 0x2003;
inline constexpr int WGL_SUPPORT_OPENGL_ARB = 0x2010;
inline constexpr int WGL_DOUBLE_BUFFER_ARB = 0x2011;
inline constexpr int WGL_PIXEL_TYPE_ARB = 0x2013;
inline constexpr int WGL_COLOR_BITS_ARB = 0x2014;
inline constexpr int WGL_DEPTH_BITS_ARB = 0x2022;
inline constexpr int WGL_STENCIL_BITS_ARB = 0x2023;
inline constexpr int WGL_FULL_ACCELERATION_ARB = 0x2027;
inline constexpr int WGL_TYPE_RGBA_ARB = 0x202B;
inline constexpr int WGL_SAMPLE_BUFFERS_ARB = 0x2041;
inline constexpr int WGL_SAMPLES_ARB = 0x2042;
inline constexpr int WGL_CONTEXT_MAJOR_VERSION_ARB = 0x2091;
inline constexpr int WGL_CONTEXT_MINOR_VERSION_ARB = 0x2092;

// GetDC / ReleaseDC. The device context lives as long as its window.
DeviceContext GetDC(WindowHandle window);
bool ReleaseDC(WindowHandle window, DeviceContext dc);
// ChoosePixelFormat: the best format at least as deep as asked, or 0.
int ChoosePixelFormat(DeviceContext dc, const PixelFormatDescriptor& descriptor);
// wglChoosePixelFormatARB: integer attribute pairs ended by 0; float attributes are not used.
bool ChoosePixelFormatARB(DeviceContext dc, const int* intAttributes, const float* floatAttributes,
                          uint32_t maxFormats, int* formats, uint32_t* formatCount);
// DescribePixelFormat: fills the descriptor; returns 0 for an unknown format.
int DescribePixelFormat(DeviceContext dc, int format, uint32_t descriptorSize, PixelFormatDescriptor* descriptor);
// SetPixelFormat: once per window; a second call fails.
bool SetPixelFormat(DeviceContext dc, int format, const PixelFormatDescriptor& descriptor);

// wglCreateContext: a context of the highest version the driver offers, compatibility profile.
GLContextHandle CreateContext(DeviceContext dc);
// wglCreateContextAttribsARB: attribute pairs ended by 0.
GLContextHandle CreateContextAttribsARB(DeviceContext dc, GLContextHandle share, const int* attributes);
// wglMakeCurrent; a null device context and context make no context current.
bool MakeCurrent(DeviceContext dc, GLContextHandle context);
bool DeleteContext(GLContextHandle context);
bool SwapBuffers(DeviceContext dc);
// wglewIsSupported, after glewInit: every one of the space-separated "WGL_..." names is offered
// by the window system (each is answered by its own system's equivalent).
bool IsExtensionSupported(const char* names);
// Whether glewInit's `result` means the GL entry points are loaded, as the window system sees it.
bool GlewLoaded(unsigned int result);

}  // namespace platform
