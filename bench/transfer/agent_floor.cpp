// kestrova-agent-floor: the floor for the records kinds of the transfer
// benchmark. It copies the contacts or the messages of one phone's agent to
// another's with the agent commands a job sends for them (the count, ranges
// of 500 records, "AddPerson:" with the field updates sent back to back, "SendSMS:",
// the default-SMS-app handshake with its one-second polls), over sockets of
// its own: no job, no library channel, no log. Commands are built and pages
// parsed by the library's own pure functions, so the bytes are the same.
//
//   kestrova-agent-floor --from SERIAL --to SERIAL --kind contacts|sms
//
// The phones are prepared with the library first, and the destination's
// records of the kind are cleared before and after (none of it timed). Prints one line:
//   floor KIND records=N handshake_s=H records_s=R total_s=T
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "agent_lifecycle.h"
#include "agent_token.h"
#include "channel.h"
#include "device_table.h"
#include "floor_channel.h"
#include "greenlink.h"
#include "greenlink_records.h"
#include "hexcodec.h"
#include "page_buffer.h"
#include "personal_commands.h"
#include "record_ref.h"
#include "record_traits.h"
#include "reply_parser.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPage = greenlink::kRangeRecords;

double since(Clock::time_point t0) {
    return std::chrono::duration<double>(Clock::now() - t0).count();
}

// The phone position of a serial, prepared as the job's phones are.
int preparedPosition(const std::string& serial) {
    for (int round = 0; round < 120; ++round) {
        for (int i = 0; i < 2; ++i) {
            AndroidDeviceInfo info = {};
            if (AndroidTSF_CheckDeviceDetected(i) == 0 &&
                AndroidTSF_GetAndroidDevicesInfo(&info, i) == 0 && serial == info.serial)
                return AndroidTSF_ReadyTodoing(i) == 0 ? i : -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
    }
    return -1;
}

// The library has forwarded the position's port while preparing; the floor
// takes the port over, with the token of the library's start, and closes the
// library's own connection.
bool openFloor(int position, FloorChannel* channel) {
    const std::shared_ptr<greenlink::TCPConnect> library = greenlink::channelFor(position);
    const uint16_t port = library ? library->localPort() : 0;
    greenlink::AndroidConnectUnInit(position);
    return port != 0 &&
           channel->open(port, greenlink::agentTokenFor(greenlink::deviceSerial(position)));
}

// The range command from a position, with the library's limits.
std::string rangeCommand(const char* verb, int start) {
    return std::string(verb) + ":" + std::to_string(start) + ":" + std::to_string(kPage) + ":" +
           std::to_string(greenlink::kPageBufferSize - 1) + ";";
}

// Replaces the library's list of the kind with one range of the source: the
// number of records it holds, or -1.
template <typename Parse, typename Clear>
int loadPage(FloorChannel& src, const std::string& command, Parse parse, Clear clear) {
    std::string reply;
    if (!src.exchange(command, &reply))
        return -1;
    clear();
    reply.push_back('\0');
    return parse(reply.data());
}

int copyContacts(FloorChannel& src, FloorChannel& dst) {
    const int total = static_cast<int>(src.exchangeInt("getcontactCount;"));
    int written = 0;
    for (int start = 0, n = 0; start < total; start += n) {
        n = loadPage(src, rangeCommand("getcontactRange", start), greenlink::android_contact_prase,
                     Clear_AddressBook_NodeList);
        if (n <= 0)
            return -1;
        ABPerson* person = nullptr;
        Get_AddressBook_NodeList(&person);
        for (; person; person = person->next) {
            if (!kestrova::transferable(person))
                continue;
            const std::string name = greenlink::contactDisplayName(person);
            const int64_t id =
                dst.exchangeInt("AddPerson:" + greenlink::EncryptionData(name.c_str()) + ":" +
                                greenlink::EncryptionData(person->mobile) + ";");
            if (id <= 0)
                return -1;
            std::vector<std::string> updates;
            for (int f = ABPERSON_FIRST_SENT_FIELD; f <= ABPERSON_LAST_SENT_FIELD; ++f) {
                const char* value =
                    person->*(greenlink::RecordTexts<ABPerson>::fields[static_cast<size_t>(f)]);
                std::string c =
                    greenlink::buildUpdatePersonCommand(std::to_string(id).c_str(), f, value);
                if (!c.empty())
                    updates.push_back(std::move(c));
            }
            if (!dst.pipelined(updates))
                return -1;
            ++written;
        }
    }
    return written;
}

// Asks the destination for the SMS role and polls once a second, as the job
// does, until the user (the lab's) has accepted. False after 61 polls.
bool becomeDefaultSmsApp(FloorChannel& dst) {
    dst.exchangeInt("SetDefaultMessage;");
    for (int second = 0; second <= 60; ++second) {
        std::string package;
        if (dst.exchange("GetDefaultMessage_pkgName;", &package) &&
            package == greenlink::kAgentPackage)
            return true;
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    return false;
}

int copyMessages(FloorChannel& src, FloorChannel& dst) {
    const int total = static_cast<int>(src.exchangeInt("getsmsCount;"));
    int written = 0;
    for (int start = 0, n = 0; start < total; start += n) {
        n = loadPage(src, rangeCommand("getsmsRange", start), greenlink::android_sms_prase,
                     Clear_SMS_NodeList);
        if (n <= 0)
            return -1;
        SMessage* sms = nullptr;
        Get_SMS_NodeList(&sms);
        for (; sms; sms = sms->next) {
            if (!kestrova::transferable(sms))
                continue;
            if (dst.exchangeInt(greenlink::buildSendSmsCommand(sms)) <= 0)
                return -1;
            ++written;
        }
    }
    return written;
}

int usage() {
    std::fprintf(stderr,
                 "usage: kestrova-agent-floor --from SERIAL --to SERIAL --kind contacts|sms\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    std::string from, to, kind;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        (key == "--from" ? from : key == "--to" ? to : key == "--kind" ? kind : from) = argv[i + 1];
    }
    if (from.empty() || to.empty() || (kind != "contacts" && kind != "sms"))
        return usage();

    AndroidTSF_Init();
    const int srcPosition = preparedPosition(from);
    const int dstPosition = preparedPosition(to);
    FloorChannel src, dst;
    if (srcPosition < 0 || dstPosition < 0 || !openFloor(srcPosition, &src) ||
        !openFloor(dstPosition, &dst)) {
        std::fprintf(stderr, "kestrova-agent-floor: the phones are not ready\n");
        return 1;
    }

    // The destination is empty of the kind before and after, as it is for
    // each job the benchmark runs: the store's size must not tilt the
    // comparison.
    double handshake = 0, records = 0;
    int written = 0;
    if (kind == "contacts") {
        dst.exchangeInt("ClearPerson;");
        const auto t0 = Clock::now();
        written = copyContacts(src, dst);
        records = since(t0);
        dst.exchangeInt("ClearPerson;");
    } else {
        const bool asks = AndroidTSF_CheckAndroidVersionAt44(dstPosition) == 1;
        const auto t0 = Clock::now();
        if (asks && !becomeDefaultSmsApp(dst)) {
            std::fprintf(stderr, "kestrova-agent-floor: the SMS role was not granted\n");
            return 1;
        }
        handshake = since(t0);
        dst.exchangeInt("ClearSMS;");
        const auto t1 = Clock::now();
        written = copyMessages(src, dst);
        records = since(t1);
        dst.exchangeInt("ClearSMS;");
        if (asks)
            dst.exchangeInt("ReSetDefaultMessage;");
    }
    AndroidTSF_UnInit();
    if (written < 0) {
        std::fprintf(stderr, "kestrova-agent-floor: a command failed\n");
        return 1;
    }
    std::printf("floor %s records=%d handshake_s=%.3f records_s=%.3f total_s=%.3f\n", kind.c_str(),
                written, handshake, records, handshake + records);
    return 0;
}
