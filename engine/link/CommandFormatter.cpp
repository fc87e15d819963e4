#include "link/CommandFormatter.h"

#include <cstdio>

std::string CommandFormatter::quote(const std::string& text) {
    std::string out = "\"";
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

std::string CommandFormatter::format(const std::map<std::string, std::string>& members) {
    if (members.empty()) return "null ";
    std::string line = "{ ";
    bool first = true;
    for (const auto& [key, value] : members) {
        if (!first) line += ", ";
        first = false;
        line += "   " + quote(key) + " : " + quote(value);
    }
    return line + " } ";
}
