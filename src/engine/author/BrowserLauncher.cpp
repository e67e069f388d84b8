#include "author/BrowserLauncher.h"

#include "platform/Platform.h"

namespace {

constexpr size_t kPathCapacity = 4096;

// The URL is the server's own (address, port and a hexadecimal secret): nothing in it needs escaping.
std::string RedirectPage(const std::string& url) {
    return "<!DOCTYPE html>\n<meta charset=\"utf-8\">\n<meta http-equiv=\"refresh\" content=\"0; url=" + url +
           "\">\n<title>QUARN timeline editor</title>\n<p><a href=\"" + url + "\">Open the timeline editor</a></p>\n";
}

}  // namespace

BrowserLauncher::~BrowserLauncher() {
    if (!page.empty()) platform::DeleteFile(page.c_str());
}

bool BrowserLauncher::Open(const std::string& url) {
    char path[kPathCapacity];
    const platform::FileHandle file = platform::CreatePrivateFile("quarn-editor-", ".html", path, sizeof path);
    if (file == platform::kInvalidFile) return false;
    const std::string text = RedirectPage(url);
    const bool written = platform::WriteFile(file, text.data(), static_cast<uint32_t>(text.size()), nullptr);
    platform::CloseHandle(file);
    if (written && platform::OpenUrl(path)) {
        page = path;
        return true;
    }
    platform::DeleteFile(path);
    return false;
}
