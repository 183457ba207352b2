// Conversation groups: messages joined by thread identifier or, failing that,
// by the other party's number, ordered by their newest message. Call-log
// groups: entries joined by number. Nodes point into the record lists, so
// each set of groups remembers the list generation it was built from and is
// rebuilt before use once the list has changed: a node of an older
// generation is freed, never followed.
#include "record_groups.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "greenlink_records.h"
#include "record_lists.h"
#include "timeconv.h"

namespace {

TSMSTempGroupList* st_smsGroups = nullptr;
TCallLogTempGroupList* st_callLogGroups = nullptr;
// The list generations the groups above were built from.
uint64_t st_smsGroupsGeneration = 0;
uint64_t st_callLogGroupsGeneration = 0;

bool sameText(const char* a, const char* b) { return a && b && std::strcmp(a, b) == 0; }

int64_t messageSeconds(const SMessage* sms) {
    if (!sms->date || !*sms->date)
        return 0;
    return convertstrTotimee(sms->date);
}

void freeSmsGroups() {
    for (TSMSTempGroupList* g = st_smsGroups; g;) {
        for (TSMSTempNode* n = g->head; n;) {
            TSMSTempNode* next = n->next;
            std::free(n);
            n = next;
        }
        TSMSTempGroupList* next = g->next;
        std::free(g);
        g = next;
    }
    st_smsGroups = nullptr;
}

void freeCallLogGroups() {
    for (TCallLogTempGroupList* g = st_callLogGroups; g;) {
        for (TCallLogTempNode* n = g->head; n;) {
            TCallLogTempNode* next = n->next;
            std::free(n);
            n = next;
        }
        TCallLogTempGroupList* next = g->next;
        std::free(g);
        g = next;
    }
    st_callLogGroups = nullptr;
}

TSMSTempGroupList* findSmsGroup(const SMessage* sms) {
    for (TSMSTempGroupList* g = st_smsGroups; g; g = g->next) {
        const SMessage* head = g->head->sms;
        if (sameText(sms->threadId, head->threadId) || sameText(sms->address, head->address))
            return g;
    }
    return nullptr;
}

} // namespace

void CreateGouplist() {
    freeSmsGroups();
    st_smsGroupsGeneration = greenlink::smsListGeneration();
    SMessage* sms = nullptr;
    Get_SMS_NodeList(&sms);
    for (; sms; sms = sms->next) {
        auto* node = static_cast<TSMSTempNode*>(std::calloc(1, sizeof(TSMSTempNode)));
        if (!node)
            continue; // out of memory: this message is left out of the groups
        node->sms = sms;
        const int64_t seconds = messageSeconds(sms);
        if (TSMSTempGroupList* group = findSmsGroup(sms)) {
            node->next = group->head;
            group->head = node;
            group->latest = std::max(group->latest, seconds);
            continue;
        }
        auto* group = static_cast<TSMSTempGroupList*>(std::calloc(1, sizeof(TSMSTempGroupList)));
        if (!group) {
            std::free(node);
            continue;
        }
        group->head = group->tail = node;
        group->latest = seconds;
        group->next = st_smsGroups;
        st_smsGroups = group;
    }
}

void sortsGouplist() {
    // Reorder whole groups (head, tail and latest move together), newest
    // first; groups with the same latest date keep their order.
    std::vector<TSMSTempGroupList*> groups;
    for (TSMSTempGroupList* g = st_smsGroups; g; g = g->next)
        groups.push_back(g);
    std::stable_sort(groups.begin(), groups.end(),
                     [](const TSMSTempGroupList* a, const TSMSTempGroupList* b) {
                         return a->latest > b->latest;
                     });
    TSMSTempGroupList* next = nullptr;
    for (auto it = groups.rbegin(); it != groups.rend(); ++it) {
        (*it)->next = next;
        next = *it;
    }
    st_smsGroups = next;
}

void CreateCallLogGouplist() {
    freeCallLogGroups();
    st_callLogGroupsGeneration = greenlink::callLogListGeneration();
    CallHistory* call = nullptr;
    Get_CallHistory_NodeList(&call);
    for (; call; call = call->next) {
        auto* node = static_cast<TCallLogTempNode*>(std::calloc(1, sizeof(TCallLogTempNode)));
        if (!node)
            continue;
        node->call = call;
        TCallLogTempGroupList* group = st_callLogGroups;
        while (group && !sameText(call->number, group->head->call->number))
            group = group->next;
        if (group) {
            group->tail->next = node;
            group->tail = node;
            continue;
        }
        group = static_cast<TCallLogTempGroupList*>(std::calloc(1, sizeof(TCallLogTempGroupList)));
        if (!group) {
            std::free(node);
            continue;
        }
        group->head = group->tail = node;
        group->next = st_callLogGroups;
        st_callLogGroups = group;
    }
}

int AndroidTSF_GetSMSTempGroup(TSMSTempGroupList** out) {
    if (st_smsGroupsGeneration != greenlink::smsListGeneration())
        CreateGouplist();
    sortsGouplist();
    if (out)
        *out = st_smsGroups;
    return 0;
}

int AndroidTSF_GetCallLogTempGroup(TCallLogTempGroupList** out) {
    if (st_callLogGroupsGeneration != greenlink::callLogListGeneration())
        CreateCallLogGouplist();
    if (out)
        *out = st_callLogGroups;
    return 0;
}
