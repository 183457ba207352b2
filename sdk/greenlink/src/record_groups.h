// Conversation and call-log groups built over the library's record lists.
#pragma once

// Builds the conversation groups anew from the message list.
void CreateGouplist();
// Orders the conversation groups newest first.
void sortsGouplist();
// Builds the call-log groups anew from the call-log list.
void CreateCallLogGouplist();
