#include "media/RemovalJournal.h"

#include <json/json.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <tuple>
#include <utility>

#include "util/JsonInput.h"
#include "util/Logger.h"

namespace media {

RemovalJournal::RemovalJournal(std::string file) : path(std::move(file)) {
    // Anything but a regular file (a folder in its place) reads as no journal: reading a folder
    // through a stream throws.
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) return;
    std::ifstream in(path, std::ios::binary);
    if (!in) return;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // A damaged journal helps nobody: it reads as empty.
    const std::optional<Json::Value> root = JsonInput::parse(text);
    if (!root || !root->isArray()) return;
    for (const Json::Value& item : *root) {
        if (!item.isArray() || item.size() != 4) continue;
        bool text = true;
        for (const Json::Value& field : item) text = text && field.isString();
        if (!text) continue;
        pending.push_back(
            {item[0].asString(), {item[1].asString(), item[2].asString(), item[3].asString()}});
    }
}

std::vector<RemovalJournal::Entry> RemovalJournal::entries(const std::string& deviceId) const {
    std::vector<Entry> found;
    for (const auto& [device, entry] : pending) {
        if (device == deviceId) found.push_back(entry);
    }
    return found;
}

void RemovalJournal::add(const std::string& deviceId, const std::vector<Entry>& uncertain) {
    if (uncertain.empty()) return;
    for (const Entry& entry : uncertain) pending.push_back({deviceId, entry});
    save();
}

void RemovalJournal::remove(const std::string& deviceId, const std::vector<Entry>& settled) {
    if (settled.empty()) return;
    std::set<std::tuple<std::string, std::string, std::string>> keys;
    for (const Entry& entry : settled) keys.emplace(entry.artist, entry.album, entry.fileName);
    const std::size_t before = pending.size();
    std::erase_if(pending, [&](const auto& item) {
        return item.first == deviceId &&
               keys.count({item.second.artist, item.second.album, item.second.fileName}) != 0;
    });
    if (pending.size() != before) save();
}

void RemovalJournal::clear(const std::string& deviceId) {
    const std::size_t before = pending.size();
    std::erase_if(pending, [&](const auto& item) { return item.first == deviceId; });
    if (pending.size() != before) save();
}

void RemovalJournal::save() const {
    if (pending.empty()) {
        // unlink, not remove: a folder in the journal's place is not the journal's to delete.
        ::unlink(path.c_str());
        return;
    }
    Json::StreamWriterBuilder builder;
    builder["indentation"] = "";
    builder["emitUTF8"] = true;
    const std::unique_ptr<Json::StreamWriter> writer(builder.newStreamWriter());
    const std::string temporary = path + ".new";
    {
        // One array of entries, written an entry at a time: a first sync journals every track
        // of the library, and a whole document tree of them would cost several times the
        // entries themselves.
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        char separator = '[';
        for (const auto& [device, entry] : pending) {
            Json::Value item(Json::arrayValue);
            item.append(device);
            item.append(entry.artist);
            item.append(entry.album);
            item.append(entry.fileName);
            out << separator;
            writer->write(item, &out);
            separator = ',';
        }
        out << ']';
        if (!out) {
            Logger::log("Synchronizer", "Could not write " + temporary);
            ::unlink(temporary.c_str());
            return;
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        Logger::log("Synchronizer", "Could not write " + path);
        ::unlink(temporary.c_str());
    }
}

}  // namespace media
