// The stage pictures: far layers and painted panels, each 640 x 480.
#pragma once

#include <string_view>

inline constexpr std::string_view kFarLayerImages[] = {
    "sora",    "sorakumo", "soraorange", "sabah001", "sabah002", "sabar001", "sabar002",
    "hai01",   "hai02",    "hai03",      "hai04",    "hai05",    "hai06",    "hai09",
    "hai10",   "haikg001", "haikg002",   "yuuhi001", "yuuhi002",
};

inline constexpr std::string_view kPanelImages[] = {
    "0101",       "0102",       "heigenn001", "heigenn002", "heigenn003", "heigenn004", "heigenn005",
    "heigenn006", "heigenn007", "heigenn008", "heigenn009", "heigenn010", "heigenn011", "heigenn012",
    "heigenn013", "heigenn014", "heigenn015", "heigenn016", "heigenn017", "heigenn018", "heigenn019",
    "heigenn020", "heigenn021", "heigenn022", "heigenn023", "heigenn024", "heigenn025", "heigenn026",
    "heigenn027", "heigenn028", "heigenn029", "heigenn030", "heigenn031", "hd001",      "hd002",
    "hd003",      "hd004",      "hd005",      "hd006",      "hd007",      "hd008",      "hd013",
    "hd014",      "hd015",      "hd016",      "hd017",      "hd018",      "hd019",      "hd020",
    "hd021",      "hd022",      "hd023",      "hd024",      "hd025",      "hd026",      "hd027",
    "hd028",      "hd029",      "hd030",      "hd031",      "hg001",      "hg002",      "hg003",
    "hg004",      "hg005",      "hg006",      "hg007",      "hg008",      "hg009",      "hg010",
    "hg011",      "hg012",      "hg013",      "hg014",      "hg015",      "hg016",      "hg019",
    "hg020",      "hg024",      "hg025",      "hg026",      "hg027",      "hg028",      "hs001",
    "hs002",      "hs003",      "hs004",      "hs005",      "hs006",      "hs008",      "hs009",
    "hs010",      "hs011",      "hs012",      "hs013",      "hs014",      "hs015",      "hs016",
    "hs017",      "hs018",
};
