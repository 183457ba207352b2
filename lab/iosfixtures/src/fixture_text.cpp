#include "fixture_text.h"

#include <vector>

namespace iosfix {
namespace {

const std::vector<PersonName>& names() {
    static const std::vector<PersonName> v = {
        {"Anna", "Schmidt"},
        {"José", "Muñoz"},
        {"Zoë", "Brontë"},
        {"Łukasz", "Wójcik"},
        {"Søren", "Kierkegård"},
        {"Дмитрий", "Иванов"},
        {"Ελένη", "Παπαδοπούλου"},
        {"محمد", "العلي"},
        {"דנה", "כהן"},
        {"伟", "王"},
        {"さくら", "山田"},
        {"지우", "김"},
        {"प्रिया", "शर्मा"},
        {"Nguyễn", "Thị Lan"},
        {"Siobhán", "O'Connor"},
        {"Jean-Luc", "Lefèvre"},
        {"Ayşe", "Yılmaz"},
        {"Olúwaseun", "Adébáyọ̀"},
    };
    return v;
}

const std::vector<std::string>& words() {
    static const std::vector<std::string> v = {
        "hello",        "tomorrow",   "meeting", "café", "straße", "привет",
        "встреча",      "καλημέρα",   "مرحبا",   "שלום", "你好",   "明天见",
        "ありがとう",   "안녕하세요", "नमस्ते",    "ok",   "lunch?", "see you at 7",
        "don't forget", "\"quoted\"", "a;b:c.d", "100%", "<tag>",  "line\nbreak",
    };
    return v;
}

const std::vector<std::string>& emoji() {
    static const std::vector<std::string> v = {
        "😀", "🎉", "👍🏽", "❤️", "🇩🇪", "👨‍👩‍👧", "🐈", "☕", "🚀", "🙈",
    };
    return v;
}

} // namespace

PersonName randomName(Rng& rng) { return rng.pick(names()); }

std::string randomPhone(Rng& rng) {
    static const std::vector<std::string> prefixes = {"+49 151 ", "+1 (919) ", "+44 7700 ",
                                                      "+33 6 ",   "+7 916 ",   "0171 "};
    std::string s = rng.pick(prefixes);
    for (int i = 0; i < 7; ++i)
        s += char('0' + rng.below(10));
    return s;
}

std::string randomEmail(Rng& rng, const std::string& hint) {
    static const std::vector<std::string> domains = {"example.com", "mail.example.org",
                                                     "icloud.example.net"};
    return hint + std::to_string(rng.below(1000)) + "@" + rng.pick(domains);
}

std::string randomCompany(Rng& rng) {
    static const std::vector<std::string> v = {"Acme GmbH",   "Ünïcode Ltd.", "株式会社サンプル",
                                               "ООО Ромашка", "Café & Co",    "Apple Inc."};
    return rng.pick(v);
}

std::string randomCity(Rng& rng) {
    static const std::vector<std::string> v = {"Berlin", "München", "Cupertino", "São Paulo",
                                               "Москва", "東京",    "Zürich"};
    return rng.pick(v);
}

std::string randomSentence(Rng& rng, int count) {
    std::string s;
    for (int i = 0; i < count; ++i) {
        if (i)
            s += ' ';
        s += rng.chance(15) ? rng.pick(emoji()) : rng.pick(words());
    }
    return s;
}

std::string longBody(Rng& rng, size_t minBytes) {
    std::string s;
    while (s.size() < minBytes) {
        if (!s.empty())
            s += ' ';
        s += randomSentence(rng, 8);
    }
    return s;
}

} // namespace iosfix
