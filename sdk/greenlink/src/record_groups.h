// Conversation and call-log groups built over the library's record lists.
#pragma once

namespace greenlink {

// Drop the groups; the next request rebuilds them. Called whenever the list
// they point into changes.
void invalidateSmsGroups();
void invalidateCallLogGroups();

} // namespace greenlink

// Builds the conversation groups anew from the message list.
void CreateGouplist();
// Orders the conversation groups newest first.
void sortsGouplist();
// Builds the call-log groups anew from the call-log list.
void CreateCallLogGouplist();
