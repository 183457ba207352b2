// Where a contact's labelled numbers, e-mails, web pages and addresses go.
#include "readers.h"

#include <utility>

namespace dbsifter {
namespace {

using Field = Text ContactRow::*;
using Exact = std::vector<std::pair<const char*, Field>>;

std::string readableLabel(const std::string& label) {
    if (label.empty())
        return "Other";
    if (label.size() > 8 && label.compare(0, 4, "_$!<") == 0 &&
        label.compare(label.size() - 4, 4, ">!$_") == 0)
        return label.substr(4, label.size() - 8);
    return label;
}

bool isFree(const ContactRow& row, Field f) { return !(row.*f) || (row.*f)->empty(); }

void addExtra(ContactRow& row, const LabelledValue& v) {
    std::string line = readableLabel(v.label) + ": " + v.value;
    if (row.extraText1 && !row.extraText1->empty())
        *row.extraText1 += "\n" + line;
    else
        row.extraText1 = line;
}

} // namespace

void placeValues(ContactRow& row, ValueKind kind, const std::vector<LabelledValue>& values) {
    using C = ContactRow;
    Exact exact;
    std::vector<Field> freeOrder;
    switch (kind) {
    case ValueKind::Phone:
        exact = {{"_$!<Mobile>!$_", &C::mobile},   {"iPhone", &C::mobile},
                 {"_$!<Home>!$_", &C::homeNumber}, {"_$!<Work>!$_", &C::workNumber},
                 {"_$!<HomeFAX>!$_", &C::homeFax}, {"_$!<WorkFAX>!$_", &C::workFax}};
        freeOrder = {&C::mobile, &C::homeNumber, &C::workNumber};
        break;
    case ValueKind::Email:
        exact = {{"_$!<Home>!$_", &C::homeEmail}, {"_$!<Work>!$_", &C::workEmail}};
        freeOrder = {&C::homeEmail, &C::workEmail};
        break;
    case ValueKind::Url:
        exact = {{"_$!<HomePage>!$_", &C::homePage}};
        freeOrder = {&C::homePage};
        break;
    case ValueKind::Address:
        exact = {{"_$!<Home>!$_", &C::homeAddress}, {"_$!<Work>!$_", &C::workAddress}};
        freeOrder = {&C::homeAddress, &C::workAddress};
        break;
    }
    // Exact labels first, so an "other" value listed earlier does not take
    // the field a labelled one belongs in.
    std::vector<bool> placed(values.size(), false);
    for (size_t i = 0; i < values.size(); ++i)
        for (auto& [label, field] : exact)
            if (values[i].label == label && isFree(row, field)) {
                row.*field = values[i].value;
                placed[i] = true;
                break;
            }
    for (size_t i = 0; i < values.size(); ++i) {
        if (placed[i])
            continue;
        for (Field f : freeOrder)
            if (isFree(row, f)) {
                row.*f = values[i].value;
                placed[i] = true;
                break;
            }
        if (!placed[i])
            addExtra(row, values[i]);
    }
}

} // namespace dbsifter
