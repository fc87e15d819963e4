// One fault the device server injects for tests: what goes wrong, on which command and on
// which occurrence of it. It fires once.
#pragma once

#include <cstdint>
#include <string>

class FaultPlan {
  public:
    enum class Kind {
        None,
        Refuse,                  // answer "fail" with the argument as reason
        Garbage,                 // answer with a line that is not JSON
        NoResponse,              // answer with an object without "response"
        OtherResponse,           // answer "response" "busy"
        Close,                   // close the connection on receiving the command
        CloseAfterReply,         // close right after the first reply
        CloseAfterBytes,         // close after the argument's count of file bytes
        CloseBeforeSecondReply,  // take the whole file, then close instead of answering
        Stall,                   // never answer; wait for the client to go
        Slow,                    // take the file at the argument's bytes per second
        StoreThenClose,          // store the whole file as usual, then close instead of the
                                 // second reply (the reply is lost, the file is not)
    };

    // "KIND:COMMAND[:ARG]"; false when the text does not name a fault.
    bool parse(const std::string& text);
    void setOccurrence(int n) { occurrence = n; }

    // Counts the command and tells whether the fault fires for this one.
    bool fires(const std::string& command);

    Kind kind = Kind::None;
    std::string command;
    std::string argument;
    int64_t bytes = 0;

  private:
    int occurrence = 1;
    int seen = 0;
    bool spent = false;
};
