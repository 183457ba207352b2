// The agent's door key. Each start of the agent gets a fresh token of 256
// random bits from the system; the library hands it to the agent in the
// start intent (over the adb server's socket, never in a command line) and
// sends it as the first bytes of every connection, in the same write as the
// greeting. The agent closes any connection that does not begin with it.
// Tokens live in this process's memory only, keyed by the phone's serial,
// and are never logged.
#pragma once

#include <string>

namespace greenlink {

// The start intent's extra that carries the token (Greeting.java).
constexpr const char* kAgentTokenExtra = "com.quellfin.kestrova.TOKEN";
// Random bytes in a token; it travels as twice as many hexadecimal digits.
constexpr size_t kAgentTokenBytes = 32;

// kAgentTokenBytes from the system's random source (getrandom, else
// /dev/urandom) as upper-case hexadecimal; "" when the system gives none.
std::string makeAgentToken();

// The token of the agent started on this phone; "" when this process
// started none there (or forgot it).
std::string agentTokenFor(const std::string& serial);
// A new start: its token replaces the phone's earlier one.
void rememberAgentToken(const std::string& serial, const std::string& token);
// The agent is stopped or the phone let go of for good: the token is wiped.
void forgetAgentToken(const std::string& serial);
void forgetAllAgentTokens();

// The agent answered a greeting with its current token.
void noteAgentAnswered(const std::string& serial);
// Whether a greeting that fails may start the agent again: only an agent
// that answered since its start, and only once until it answers again.
// True takes that one chance.
bool takeAgentRevival(const std::string& serial);

// Overwrites a text that held a token before it is freed.
void wipeText(std::string& text);

} // namespace greenlink
