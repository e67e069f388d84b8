// The build without an HTTP library: asking for the editor is answered, not ignored.
#include "author/EditorServer.h"

struct EditorServer::Impl {};

EditorServer::EditorServer(EditorChannel& channel) : channel(channel) {}

EditorServer::~EditorServer() = default;

bool EditorServer::Start(const EditorSettings&, std::string& error) {
    error = "this build of the player has no timeline editor (it is in the Linux build)";
    return false;
}

void EditorServer::Stop() {}
