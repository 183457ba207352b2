#include "fixture_text.h"

namespace lab::fixture {

namespace {

using Pool = std::vector<std::string>;

const Pool kGiven = {"Anna",   "José",    "Zoë",       "Søren", "Łukasz",  "François", "Ngozi",
                     "Mehmet", "Siobhán", "Дмитрий",   "Ольга", "Γιώργος", "Ελένη",    "محمد",
                     "فاطمة",  "דוד",     "שרה",       "王伟",  "李娜",    "さくら",   "健太",
                     "민준",   "서연",    "अनीता",     "राहुल",  "สมชาย",   "Björk",    "Nguyễn",
                     "Chloé",  "Ümit",    "Ana María", "O'Neil"};
const Pool kFamily = {"Müller", "García", "Kowalski",     "Иванова",  "Παπαδόπουλος",
                      "الخطيب", "כהן",    "陈",           "佐藤",     "김",
                      "शर्मा",   "Smith",  "van der Berg", "Ó Briain", "Nakamura",
                      "Dubois", "Rossi",  "Şahin",        "Lefèvre",  "Johansson"};
const Pool kEmoji = {"😀", "🎉",       "❤️", "👨‍👩‍👧", "🇩🇪", "🙏🏽", "🚀",
                     "☕", "🌧️", "👍"};
const Pool kWords = {"see you at eight",
                     "running late, sorry",
                     "did you get the tickets?",
                     "Happy birthday!",
                     "call me when you land",
                     "Bis später am Bahnhof",
                     "¿Dónde estás?",
                     "Спасибо, всё получил",
                     "今天晚上吃什么？",
                     "明日の会議は10時からです",
                     "오늘 날씨 좋네요",
                     "شكرا جزيلا",
                     "תודה רבה",
                     "The code is 4711; don't share it",
                     "Line one\nline two",
                     "Quotes \"inside\" and 'single' ones",
                     "Tab\tseparated",
                     "Ça coûte 12,50 € — d'accord?",
                     "नमस्ते, कैसे हो?",
                     "Price: $5.99 (50% off)"};
const Pool kStreets = {"Hauptstraße 5\n10115 Berlin",
                       "221B Baker Street\nLondon NW1 6XE",
                       "1600 Amphitheatre Pkwy, Mountain View, CA 94043",
                       "Calle de Alcalá 42, 28014 Madrid",
                       "東京都千代田区丸の内1-1",
                       "ул. Тверская, 7, Москва",
                       "Rue de Rivoli 99, 75001 Paris"};
const Pool kOrgs = {"Acme GmbH", "Globex & Co.",           "株式会社サンプル", "ООО «Ромашка»",
                    "Initech",   "Universidad de Sevilla", "Stark Industries"};
const Pool kTitles = {"Dentist",        "Team meeting",     "Flight LH 123 → JFK", "Yoga 🧘",
                      "Geburtstag Oma", "Quarterly review", "家族の夕食",          "Football",
                      "Elternabend",    "Standup"};
const Pool kZones = {"Europe/Berlin", "America/New_York",   "Asia/Tokyo",   "Australia/Sydney",
                     "UTC",           "America/Sao_Paulo",  "Asia/Kolkata", "Pacific/Auckland",
                     "Europe/London", "America/Los_Angeles"};
const Pool kRules = {"FREQ=WEEKLY;BYDAY=MO,WE",
                     "FREQ=DAILY;COUNT=10",
                     "FREQ=MONTHLY;BYMONTHDAY=15",
                     "FREQ=YEARLY",
                     "FREQ=WEEKLY;INTERVAL=2;UNTIL=20271231T000000Z",
                     "FREQ=MONTHLY;BYDAY=-1FR"};
const Pool kPlaces = {"Room 4.12",
                      "Café Central, Wien",
                      "Zoom",
                      "Praxis Dr. Weiß",
                      "東京駅",
                      "Home",
                      "Stadion an der Alten Försterei"};

std::string digits(Rng& rng, int count) {
    std::string out;
    for (int i = 0; i < count; ++i)
        out.push_back(static_cast<char>('0' + rng.below(10)));
    return out;
}

} // namespace

uint64_t Rng::next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

std::string givenName(Rng& rng) {
    std::string name = rng.pick(kGiven);
    if (rng.chance(8))
        name += " " + rng.pick(kEmoji);
    return name;
}

std::string familyName(Rng& rng) { return rng.pick(kFamily); }

std::string phoneNumber(Rng& rng) {
    switch (rng.below(10)) {
    case 0:
        return "+49 30 " + digits(rng, 7);
    case 1:
        return "(" + digits(rng, 3) + ") " + digits(rng, 3) + "-" + digits(rng, 4);
    case 2:
        return "0171/" + digits(rng, 7);
    case 3:
        return "+1-202-555-" + digits(rng, 4);
    case 4:
        return digits(rng, 3) + "." + digits(rng, 3) + "." + digits(rng, 4);
    case 5:
        return "+44 (0)20 " + digits(rng, 4) + " " + digits(rng, 4);
    case 6:
        return digits(rng, 5); // short code
    case 7:
        return "+8613" + digits(rng, 9);
    case 8:
        return "*21#";
    default:
        return "+33 6 " + digits(rng, 2) + " " + digits(rng, 2) + " " + digits(rng, 2) + " " +
               digits(rng, 2);
    }
}

std::string emailFor(Rng& rng, const std::string& hint) {
    static const Pool domains = {"example.com", "example.org", "mail.example.net", "例え.jp"};
    return "user" + digits(rng, 4) + "." + std::to_string(hint.size()) + "@" + rng.pick(domains);
}

std::string sentence(Rng& rng) {
    std::string text = rng.pick(kWords);
    if (rng.chance(20))
        text += " " + rng.pick(kEmoji);
    return text;
}

std::string paragraph(Rng& rng, std::size_t minBytes) {
    std::string text = sentence(rng);
    while (text.size() < minBytes)
        text += " " + sentence(rng);
    return text;
}

std::string streetAddress(Rng& rng) { return rng.pick(kStreets); }
std::string organization(Rng& rng) { return rng.pick(kOrgs); }
std::string eventTitle(Rng& rng) { return rng.pick(kTitles); }
std::string timeZone(Rng& rng) { return rng.pick(kZones); }
std::string recurrenceRule(Rng& rng) { return rng.pick(kRules); }
std::string place(Rng& rng) { return rng.pick(kPlaces); }

} // namespace lab::fixture
