#include "quorvel-kit/updates/storefront_country.h"

#include <algorithm>

namespace quorvel {

namespace {

// ISO 3166-1: every officially assigned alpha-3 code with its alpha-2 code.
constexpr std::pair<const char*, const char*> kOfficial[] = {
    {"AFG", "AF"}, {"ALA", "AX"}, {"ALB", "AL"}, {"DZA", "DZ"}, {"ASM", "AS"}, {"AND", "AD"},
    {"AGO", "AO"}, {"AIA", "AI"}, {"ATA", "AQ"}, {"ATG", "AG"}, {"ARG", "AR"}, {"ARM", "AM"},
    {"ABW", "AW"}, {"AUS", "AU"}, {"AUT", "AT"}, {"AZE", "AZ"}, {"BHS", "BS"}, {"BHR", "BH"},
    {"BGD", "BD"}, {"BRB", "BB"}, {"BLR", "BY"}, {"BEL", "BE"}, {"BLZ", "BZ"}, {"BEN", "BJ"},
    {"BMU", "BM"}, {"BTN", "BT"}, {"BOL", "BO"}, {"BES", "BQ"}, {"BIH", "BA"}, {"BWA", "BW"},
    {"BVT", "BV"}, {"BRA", "BR"}, {"IOT", "IO"}, {"BRN", "BN"}, {"BGR", "BG"}, {"BFA", "BF"},
    {"BDI", "BI"}, {"CPV", "CV"}, {"KHM", "KH"}, {"CMR", "CM"}, {"CAN", "CA"}, {"CYM", "KY"},
    {"CAF", "CF"}, {"TCD", "TD"}, {"CHL", "CL"}, {"CHN", "CN"}, {"CXR", "CX"}, {"CCK", "CC"},
    {"COL", "CO"}, {"COM", "KM"}, {"COG", "CG"}, {"COD", "CD"}, {"COK", "CK"}, {"CRI", "CR"},
    {"CIV", "CI"}, {"HRV", "HR"}, {"CUB", "CU"}, {"CUW", "CW"}, {"CYP", "CY"}, {"CZE", "CZ"},
    {"DNK", "DK"}, {"DJI", "DJ"}, {"DMA", "DM"}, {"DOM", "DO"}, {"ECU", "EC"}, {"EGY", "EG"},
    {"SLV", "SV"}, {"GNQ", "GQ"}, {"ERI", "ER"}, {"EST", "EE"}, {"SWZ", "SZ"}, {"ETH", "ET"},
    {"FLK", "FK"}, {"FRO", "FO"}, {"FJI", "FJ"}, {"FIN", "FI"}, {"FRA", "FR"}, {"GUF", "GF"},
    {"PYF", "PF"}, {"ATF", "TF"}, {"GAB", "GA"}, {"GMB", "GM"}, {"GEO", "GE"}, {"DEU", "DE"},
    {"GHA", "GH"}, {"GIB", "GI"}, {"GRC", "GR"}, {"GRL", "GL"}, {"GRD", "GD"}, {"GLP", "GP"},
    {"GUM", "GU"}, {"GTM", "GT"}, {"GGY", "GG"}, {"GIN", "GN"}, {"GNB", "GW"}, {"GUY", "GY"},
    {"HTI", "HT"}, {"HMD", "HM"}, {"VAT", "VA"}, {"HND", "HN"}, {"HKG", "HK"}, {"HUN", "HU"},
    {"ISL", "IS"}, {"IND", "IN"}, {"IDN", "ID"}, {"IRN", "IR"}, {"IRQ", "IQ"}, {"IRL", "IE"},
    {"IMN", "IM"}, {"ISR", "IL"}, {"ITA", "IT"}, {"JAM", "JM"}, {"JPN", "JP"}, {"JEY", "JE"},
    {"JOR", "JO"}, {"KAZ", "KZ"}, {"KEN", "KE"}, {"KIR", "KI"}, {"PRK", "KP"}, {"KOR", "KR"},
    {"KWT", "KW"}, {"KGZ", "KG"}, {"LAO", "LA"}, {"LVA", "LV"}, {"LBN", "LB"}, {"LSO", "LS"},
    {"LBR", "LR"}, {"LBY", "LY"}, {"LIE", "LI"}, {"LTU", "LT"}, {"LUX", "LU"}, {"MAC", "MO"},
    {"MDG", "MG"}, {"MWI", "MW"}, {"MYS", "MY"}, {"MDV", "MV"}, {"MLI", "ML"}, {"MLT", "MT"},
    {"MHL", "MH"}, {"MTQ", "MQ"}, {"MRT", "MR"}, {"MUS", "MU"}, {"MYT", "YT"}, {"MEX", "MX"},
    {"FSM", "FM"}, {"MDA", "MD"}, {"MCO", "MC"}, {"MNG", "MN"}, {"MNE", "ME"}, {"MSR", "MS"},
    {"MAR", "MA"}, {"MOZ", "MZ"}, {"MMR", "MM"}, {"NAM", "NA"}, {"NRU", "NR"}, {"NPL", "NP"},
    {"NLD", "NL"}, {"NCL", "NC"}, {"NZL", "NZ"}, {"NIC", "NI"}, {"NER", "NE"}, {"NGA", "NG"},
    {"NIU", "NU"}, {"NFK", "NF"}, {"MKD", "MK"}, {"MNP", "MP"}, {"NOR", "NO"}, {"OMN", "OM"},
    {"PAK", "PK"}, {"PLW", "PW"}, {"PSE", "PS"}, {"PAN", "PA"}, {"PNG", "PG"}, {"PRY", "PY"},
    {"PER", "PE"}, {"PHL", "PH"}, {"PCN", "PN"}, {"POL", "PL"}, {"PRT", "PT"}, {"PRI", "PR"},
    {"QAT", "QA"}, {"REU", "RE"}, {"ROU", "RO"}, {"RUS", "RU"}, {"RWA", "RW"}, {"BLM", "BL"},
    {"SHN", "SH"}, {"KNA", "KN"}, {"LCA", "LC"}, {"MAF", "MF"}, {"SPM", "PM"}, {"VCT", "VC"},
    {"WSM", "WS"}, {"SMR", "SM"}, {"STP", "ST"}, {"SAU", "SA"}, {"SEN", "SN"}, {"SRB", "RS"},
    {"SYC", "SC"}, {"SLE", "SL"}, {"SGP", "SG"}, {"SXM", "SX"}, {"SVK", "SK"}, {"SVN", "SI"},
    {"SLB", "SB"}, {"SOM", "SO"}, {"ZAF", "ZA"}, {"SGS", "GS"}, {"SSD", "SS"}, {"ESP", "ES"},
    {"LKA", "LK"}, {"SDN", "SD"}, {"SUR", "SR"}, {"SJM", "SJ"}, {"SWE", "SE"}, {"CHE", "CH"},
    {"SYR", "SY"}, {"TWN", "TW"}, {"TJK", "TJ"}, {"TZA", "TZ"}, {"THA", "TH"}, {"TLS", "TL"},
    {"TGO", "TG"}, {"TKL", "TK"}, {"TON", "TO"}, {"TTO", "TT"}, {"TUN", "TN"}, {"TUR", "TR"},
    {"TKM", "TM"}, {"TCA", "TC"}, {"TUV", "TV"}, {"UGA", "UG"}, {"UKR", "UA"}, {"ARE", "AE"},
    {"GBR", "GB"}, {"USA", "US"}, {"UMI", "UM"}, {"URY", "UY"}, {"UZB", "UZ"}, {"VUT", "VU"},
    {"VEN", "VE"}, {"VNM", "VN"}, {"VGB", "VG"}, {"VIR", "VI"}, {"WLF", "WF"}, {"ESH", "EH"},
    {"YEM", "YE"}, {"ZMB", "ZM"}, {"ZWE", "ZW"},
};

// Codes some storefronts use besides the official ones.
constexpr std::pair<const char*, const char*> kFurther[] = {
    {"ASC", "AC"}, {"CPT", "CP"}, {"DGA", "DG"}, {"TAA", "TA"}, {"QUU", "EU"}, {"BUR", "MM"},
    {"DDR", "DE"}, {"FXX", "FR"}, {"TMP", "TL"}, {"YMD", "YE"}, {"ZAR", "CD"},
};

} // namespace

const std::map<std::string, std::string>& StorefrontCountry::aliases() {
    static const std::map<std::string, std::string> table = [] {
        std::map<std::string, std::string> map;
        for (const auto& [three, two] : kOfficial)
            map.emplace(three, two);
        // User-assigned doubled-letter codes: AAA, QMM to QZZ (no QOO; QUU is
        // listed below), XAA to XZZ and ZZZ, each to its first two letters.
        map.emplace("AAA", "AA");
        map.emplace("ZZZ", "ZZ");
        for (char letter : std::string("MNPQRSTVWXYZ"))
            map.emplace(std::string("Q") + letter + letter, std::string("Q") + letter);
        for (char letter = 'A'; letter <= 'Z'; ++letter)
            map.emplace(std::string("X") + letter + letter, std::string("X") + letter);
        for (const auto& [three, two] : kFurther)
            map.emplace(three, two);
        return map;
    }();
    return table;
}

std::optional<std::string> StorefrontCountry::alpha2(std::string_view code) {
    std::string upper(code);
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    auto it = aliases().find(upper);
    if (it == aliases().end())
        return std::nullopt;
    return it->second;
}

const std::set<std::string>& StorefrontCountry::regions() {
    static const std::set<std::string> codes = [] {
        std::set<std::string> set;
        for (const auto& [three, two] : kOfficial)
            set.insert(two);
        return set;
    }();
    return codes;
}

} // namespace quorvel
