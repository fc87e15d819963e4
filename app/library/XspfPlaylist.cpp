#include "library/XspfPlaylist.h"

#include <cstring>
#include <pugixml.hpp>

#include "library/LibraryLocation.h"

namespace {

// Whether an element is called name, whatever namespace prefix it carries: pugixml does not
// process namespaces, and writers declare the XSPF one as the default, with a prefix, or not
// at all.
bool isCalled(const pugi::xml_node& node, const char* name) {
    if (node.type() != pugi::node_element) return false;
    const char* full = node.name();
    const char* colon = std::strrchr(full, ':');
    return std::strcmp(colon ? colon + 1 : full, name) == 0;
}

pugi::xml_node childCalled(const pugi::xml_node& parent, const char* name) {
    for (const pugi::xml_node& child : parent.children()) {
        if (isCalled(child, name)) return child;
    }
    return {};
}

QString textOf(const pugi::xml_node& node) {
    return QString::fromUtf8(node.text().get()).trimmed();
}

}  // namespace

std::optional<std::vector<LibraryItem>> XspfPlaylist::parse(const QByteArray& bytes,
                                                            const QString& baseFolder,
                                                            QString& error) {
    pugi::xml_document document;
    const pugi::xml_parse_result parsed =
        document.load_buffer(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    if (!parsed) {
        error = QStringLiteral("not XML (%1 at byte %2)")
                    .arg(QString::fromUtf8(parsed.description()))
                    .arg(parsed.offset);
        return std::nullopt;
    }
    const pugi::xml_node root = document.document_element();
    const pugi::xml_node trackList = childCalled(root, "trackList");
    if (!isCalled(root, "playlist") || !trackList) {
        error = QStringLiteral("not an XSPF playlist (no playlist element with a trackList)");
        return std::nullopt;
    }
    std::vector<LibraryItem> items;
    for (const pugi::xml_node& track : trackList.children()) {
        if (!isCalled(track, "track")) continue;
        LibraryItem item;
        for (const pugi::xml_node& field : track.children()) {
            if (isCalled(field, "location")) {
                if (!item.location) {
                    item.location = LibraryLocation::existingUrl(textOf(field), baseFolder);
                }
            } else if (isCalled(field, "title")) {
                item.title = textOf(field);
            } else if (isCalled(field, "creator")) {
                item.artist = textOf(field);
            } else if (isCalled(field, "album")) {
                item.album = textOf(field);
            }
        }
        items.push_back(std::move(item));
    }
    return items;
}
