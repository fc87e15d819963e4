#include "FaultPlan.h"

#include <map>

bool FaultPlan::parse(const std::string& text) {
    static const std::map<std::string, Kind> kinds{
        {"refuse", Kind::Refuse},
        {"garbage", Kind::Garbage},
        {"no-response", Kind::NoResponse},
        {"other-response", Kind::OtherResponse},
        {"close", Kind::Close},
        {"close-after-reply", Kind::CloseAfterReply},
        {"close-after-bytes", Kind::CloseAfterBytes},
        {"close-before-second-reply", Kind::CloseBeforeSecondReply},
        {"stall", Kind::Stall},
        {"slow", Kind::Slow},
        {"store-then-close", Kind::StoreThenClose},
    };
    const std::string::size_type colon = text.find(':');
    if (colon == std::string::npos) return false;
    const auto found = kinds.find(text.substr(0, colon));
    if (found == kinds.end()) return false;
    std::string rest = text.substr(colon + 1);
    const std::string::size_type second = rest.find(':');
    command = rest.substr(0, second);
    argument = second == std::string::npos ? "" : rest.substr(second + 1);
    if (command.empty()) return false;
    kind = found->second;
    if (kind == Kind::CloseAfterBytes || kind == Kind::Slow) {
        if (argument.empty() || argument.find_first_not_of("0123456789") != std::string::npos ||
            argument.size() > 18) {
            return false;
        }
        bytes = std::stoll(argument);
        if (kind == Kind::Slow && bytes == 0) return false;
    }
    return true;
}

bool FaultPlan::fires(const std::string& name) {
    if (kind == Kind::None || spent || name != command) return false;
    if (++seen < occurrence) return false;
    spent = true;
    return true;
}
