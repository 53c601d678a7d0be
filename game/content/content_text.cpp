#include "game/content/content_text.h"

const char* const kUnknownCardName = "？？？？？？";

namespace {

// Card names by id range: a range shares one text.
struct CardNameRange {
  int first, last;
  const char* name;
};
const CardNameRange kCardNames[] = {
    // Stage 1: the mid-boss card (Hard and Lunatic), then the boss.
    {0, 1, "Lantern Sign \"Paper Moons Adrift\""},
    {2, 3, "Spark Sign \"Fireflies at Dusk\""},
    {4, 5, "Spark Sign \"Thousand Fireflies' Waltz\""},
    {6, 7, "Road Sign \"Lanterns on the Night Road\""},
    {8, 9, "Road Sign \"Endless Lantern Procession\""},
    // Stage 2.
    {10, 11, "Frost Sign \"Thin Ice Mirror\""},
    {12, 12, "Frost Sign \"Cracking Mirror Lake\""},
    {13, 13, "Frost Sign \"Shattered Winter Mirror\""},
    {14, 15, "Mist Sign \"Veil over Still Water\""},
    {16, 17, "Mist Sign \"Drowning Fog Bank\""},
    {18, 18, "Ripple Sign \"Gentle Rings\""},
    {19, 19, "Ripple Sign \"Widening Rings\""},
    {20, 21, "Ripple Sign \"Maelstrom of the Deep Lake\""},
    // Stage 3.
    {22, 23, "Leaf Sign \"Rustling Canopy\""},
    {24, 25, "Leaf Sign \"Storm through the Canopy\""},
    {26, 27, "Bamboo Sign \"Green Spears of Spring\""},
    {28, 29, "Bamboo Sign \"Hundred-Knot Thicket\""},
    {30, 31, "Whisper Sign \"Voices in the Grove\""},
    {32, 33, "Whisper Sign \"Chorus of the Lost Path\""},
    {34, 37, "\"The Grove that Swallows the Moon\""},
    // Stage 4: the boss, then the trio.
    {38, 39, "Scarlet Sign \"Red Carpet Parade\""},
    {40, 41, "Scarlet Sign \"Crimson Banquet Hall\""},
    {42, 43, "Horn Sign \"Walls of the Old Keep\""},
    {44, 45, "Horn Sign \"Siege of the Old Keep\""},
    {46, 47, "Wine Sign \"Ring of Goblets\""},
    {48, 49, "Wine Sign \"Overflowing Chalice\""},
    {50, 51, "Mansion Sign \"Locked Gallery\""},
    {52, 53, "Mansion Sign \"Gallery of Mirrors\""},
    {54, 55, "Trio Sign \"Concert of Three\""},
    {56, 57, "Trio Sign \"Grand Concerto of Three\""},
    // Stage 5.
    {58, 59, "Cloud Sign \"Drifting Cumulus\""},
    {60, 60, "Cloud Sign \"Thunderhead\""},
    {61, 61, "Cloud Sign \"Sky-Splitting Thunderhead\""},
    {62, 64, "Hood Sign \"Dusk Pilgrim\""},
    {65, 65, "Hood Sign \"Pilgrimage into Night\""},
    {66, 67, "Bell Sign \"Evening Chimes\""},
    {68, 69, "Bell Sign \"Tolling of the Last Hour\""},
    {70, 71, "Wind Sign \"Currents above the Clouds\""},
    {72, 73, "Wind Sign \"Jet Stream Cascade\""},
    {74, 74, "Dusk \"Sunset Petals\""},
    {75, 75, "Dusk \"Falling Sunset Petals\""},
    {76, 76, "Dusk \"Twilight Petal Storm\""},
    {77, 77, "Dusk \"Last Light of the Sky Sea\""},
    // Stage 6.
    {78, 79, "Moon Sign \"Silver Reflection\""},
    {80, 80, "Moon Sign \"Silver Mirage\""},
    {81, 81, "Moon Sign \"Mirror of the Full Moon\""},
    {82, 83, "Crown Sign \"Courtiers of the Palace\""},
    {84, 85, "Crown Sign \"Court of a Thousand Nights\""},
    {86, 87, "Tide Sign \"Moonpull\""},
    {88, 89, "Tide Sign \"Spring Tide of the Sea of Tranquility\""},
    {90, 91, "Phase Sign \"Waxing and Waning\""},
    {92, 93, "Phase Sign \"Eclipse Cycle\""},
    {94, 95, "Palace Sign \"Jade Staircase\""},
    {96, 97, "Palace Sign \"Staircase to the Lunar Throne\""},
    {98, 99, "\"Veiled Lunar Mirage\""},
    {100, 101, "\"Veiled Lunar Mirage -True Moon-\""},
    // Extra.
    {102, 102, "Star Sign \"First Light of the Void\""},
    {103, 103, "Star Sign \"Comet's Wake\""},
    {104, 104, "Star Sign \"Scattered Constellations\""},
    {105, 105, "Dream Sign \"Sleepwalker's Spiral\""},
    {106, 106, "Dream Sign \"Lucid Labyrinth\""},
    {107, 107, "Mirage Sign \"Oasis that Never Was\""},
    {108, 108, "Mirage Sign \"Heat Haze Phantoms\""},
    {109, 109, "Void Sign \"Event Horizon\""},
    {110, 110, "Void Sign \"Gravity Well Garden\""},
    {111, 111, "Nebula Sign \"Cradle of Stars\""},
    {112, 112, "Nebula Sign \"Supernova Bloom\""},
    {113, 113, "Orbit Sign \"Three-Body Dance\""},
    {114, 114, "Orbit Sign \"Perihelion\""},
    {115, 115, "Trio \"Eclipse of Three Moons\""},
    {116, 116, "Trio \"Conjunction of Wandering Stars\""},
    {117, 117, "Trio \"Grand Syzygy\""},
    {118, 118, "\"Beyond the Mirage\""},
};

constexpr DialogueText kNoText = {"", ""};

// Left: the player. Right: Kurenai, whose lanterns lead travellers off the road.
constexpr DialogueText kStage1Lines[18] = {
    {"The moon's been wrong", "for three nights now."},
    {"Too bright, too round... and now the road", "is full of lanterns nobody lit."},
    {"Someone's leading travellers off the path.", ""},
    {"Lost already? Follow my lanterns,", "I'll show you the way!"},
    {"Your lanterns are the reason", "everyone's lost."},
    {"Mm? The moon told us to light the road.", "It's a festival!"},
    {"The moon told you? Moons don't talk.", ""},
    {"This one does. It's been very chatty lately.", ""},
    {"Then I'll go ask it myself. Out of the way.", ""},
    {"No way! Nobody leaves", "the procession early!"},
    {"Come on, dance with the lanterns!", ""},
    {"Fine. I'll blow them out one by one.", ""},
    kNoText,
    kNoText,
    {"There. The road's dark again.", "Now, where's that chatty moon?"},
    {"...Somewhere past the lake,", "by the look of it. Onward."},
    kNoText,
    kNoText,
};

// Left: the player. Right: Hotaru, who ferries travellers across the lake with her
// fireflies. Lines 15-19 and 27-28 have no text.
constexpr DialogueText kStage2Lines[28] = {
    {"A lake? This wasn't on any map.", ""},
    {"And it's frozen flat as a mirror, in spring.", ""},
    {"Careful, traveller.", "The ice is thinner than it looks."},
    {"Who are you? A ferryman without a river?", ""},
    {"Ferrywoman. And my lake froze", "the night the moon changed."},
    {"So you've seen it too. The wrong moon.", ""},
    {"Seen it? It's been staring into", "my lake for three nights."},
    {"My fireflies can't stop dancing in its light.", ""},
    {"Then take me across, and I'll make it stop.", ""},
    {"Nobody crosses my lake", "without paying the fare."},
    {"I didn't bring any money.", ""},
    {"...I could pay some other way, I suppose.", ""},
    {"Then pay in spell cards!", "Let's see how you skate!"},
    {"Fine. But I'm not falling in.", ""},
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    {"The mist is lifting. Fare paid?", ""},
    {"Paid in full...", "the ice cracked right under me."},
    {"Then tell me where the moonlight leads.", ""},
    {"Up the mountain, into the bamboo grove.", ""},
    {"A grove. Of course it's a grove.", ""},
    {"Mind the whispers in there. They lie.", ""},
    {"Noted. Thanks for the ride.", ""},
    kNoText,
    kNoText,
};

// Left: the player. Right: Mizore, who keeps the bamboo grove and hides the moon's light
// in it; line 3 is her voice before she shows herself. Lines 13-19 and 22-23 have no text.
constexpr DialogueText kStage3Lines[23] = {
    {"So this is the bamboo grove.", "Every stalk looks the same."},
    {"...Haven't I passed this rock?", ""},
    {"Three times now, traveller.", "The grove likes to keep guests."},
    {"Welcome. I'm Mizore, its keeper.", ""},
    {"Did you twist the paths?", ""},
    {"The moon asked me to. Its light", "needs shadows to hide in."},
    {"Hide from what? From me?", ""},
    {"From anyone who'd bring it back.", ""},
    {"Turn around, and the bamboo", "will let you go. ...Probably."},
    {"I've turned around four times.", "It never lets go."},
    {"Then stay with the whispers!", ""},
    {"I'll cut a straight path through.", "Starting with you."},
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    {"That's the last of the whispers.", "Now, where's the moonlight?"},
    {"Never mind. I can see its glow.", ""},
    kNoText,
    kNoText,
};

// Lines 1-11: the three sisters, Rindou (boss slot 0), Tsukuyo (1) and Shion (2), first
// unseen at the mansion's gate, then leaving one by one. Lines 20-47: the player and
// Tsukuyo, mistress of the Red Mansion, who keeps the moon's light behind its curtains.
// Side-3 lines (5, 10, 36, 46) are told with no one speaking; the ending lines have no text.
constexpr DialogueText kStage4Lines[47] = {
    {"Sisters, someone is coming up the drive.", ""},
    {"A guest? We never get guests.", "Let's give her a proper welcome."},
    {"Big sister said to keep everyone out.", ""},
    {"Then we'll welcome her right back out.", "Places, everyone!"},
    {"(Three instruments strike up at once", "behind the gate.)"},
    kNoText,
    {"Hmph. You sat through our whole concert.", ""},
    {"Rindou's sulking off already.", "Wait for me!"},
    {"Not bad, traveller. Come find me", "in the great hall."},
    {"(The gate swings open onto a long,", "red-carpeted drive.)"},
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    {"Red carpets, red walls, red everything.", ""},
    {"And every clock in here has stopped.", ""},
    {"...Someone's sitting on the throne.", ""},
    {"Welcome to the Red Mansion, traveller.", "I am Tsukuyo, its mistress."},
    {"You were one of the three at the gate.", ""},
    {"My little sisters. They do love to play.", ""},
    {"Is the moon's light hidden here too?", ""},
    {"Every window in this place is curtained.", ""},
    {"Hidden? No. I keep it.", "It is a guest, as you are."},
    {"And a guest does not leave", "before dessert."},
    {"The moon isn't yours to keep.", ""},
    {"Everything under this roof is mine.", "Tonight, that includes you."},
    {"Now, shall we begin the banquet?", ""},
    {"I'm not staying for dinner.", ""},
    {"Then you'll have to fight your way out!", ""},
    {"Fine. Four courses, then I'm leaving.", ""},
    {"(Every candle in the hall flares red.)", ""},
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    {"That was the last course.", "I'm full, thank you."},
    {"Now open the curtains.", ""},
    {"Very well. The moon was a dull guest", "anyway. It never said a word."},
    {"Where did it come from?", ""},
    {"From above the clouds.", "Climb, if you can."},
    {"(The curtains part, and moonlight spills", "across the hall.)"},
    kNoText,
};

// Left: the player. Right: Rindou, the youngest of the mansion's sisters, who rings the
// dusk bell on the cloud road to the palace. Lines 11-19 and 26-27 have no text.
constexpr DialogueText kStage5Lines[27] = {
    {"Above the clouds at last.", ""},
    {"Mind your step. The clouds are soft.", ""},
    {"Good thing I never look down.", "Who's up here ringing bells?"},
    {"You again? The mansion wasn't enough?", ""},
    {"So the whole family knows I'm coming.", ""},
    {"I ring the palace's dusk bell up here.", ""},
    {"Tonight it says: let no one through.", ""},
    {"The moon upstairs is having", "a lovely, endless evening."},
    {"Endless is the problem. I want a morning.", ""},
    {"Then listen closely. This is", "the last bell you'll hear tonight!"},
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    {"...The bell's cracked. How rude.", ""},
    {"Fine, go up. The palace gate", "is past the last cloud bank."},
    {"Thanks. Any advice for the inside?", ""},
    {"Don't stare at the moon. It stares back.", ""},
    {"Noted. Eyes on the stairs, then.", ""},
    {"And tell the princess her bell is broken.", ""},
    kNoText,
    kNoText,
};

// Left: Akane. Right: Shion (4), the star-gazer at the edge of the night, then with her
// sisters Tsukuyo (5) and Rindou (6). Side-3 and ending lines have no text.
constexpr DialogueText kExtraLines[66] = {
    {"Past the mirage, the sky keeps going.", ""},
    {"Stars above, stars below...", "Which way is up out here?"},
    {"And all of them were painted by someone.", ""},
    {"Oh! A visitor from down below!", ""},
    {"I'm Shion. I watch the stars here,", "and sometimes I move them."},
    {"So you're the one who drew them in", "the way of everyone I met out there?"},
    {"They came on their own.", "Everyone loves a good sky."},
    {"The whole road here was a puzzle.", ""},
    {"Puzzles are how stars say hello.", ""},
    {"I'd rather they just said it.", ""},
    {"Then I'll say it for them:", "welcome to the edge of the night!"},
    {"Nobody reaches this far.", ""},
    {"Not unless the sky wants them to.", ""},
    {"Then the sky wants me to", "send you to bed."},
    {"Bed? The night is only beginning!", ""},
    {"Let me show you my constellations.", ""},
    {"One at a time, please.", ""},
    {"No promises!", ""},
    {"Try not to get lost among them!", ""},
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    {"...Wait. Three shadows again?", ""},
    {"Did you think our sister", "would play alone?"},
    {"We heard the noise from", "the other side of the sky."},
    {"Now we're all here.", "Three moons, one guest!"},
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    {"That was fun! Again tomorrow?", ""},
    {"She won't come back if you", "wear her out, Shion."},
    {"I'm not coming back.", ""},
    {"...Probably not.", ""},
    {"Can I have the real moon back now?", ""},
    {"It was only borrowed.", "We'll hang it back up."},
    {"Every night needs a moon,", "even a lonely one."},
    {"And every mirage needs", "someone to see through it."},
    {"You three could just visit.", "The shrine has tea."},
    {"Tea? Under the real sky?", ""},
    {"We have never been invited anywhere.", ""},
    {"Then consider this an invitation.", ""},
    {"Very well. We accept.", "Politely, this time."},
    {"I'll bring the stars!", ""},
    {"Leave the stars where they are.", ""},
    {"Dawn's coming. Let's go home.", ""},
    kNoText,
};

// Left: Akane. Right: Shion (4), Tsukuyo (5) and Rindou (6).
constexpr DialogueText kPracticeLines[14] = {
    {"So you found your way past the mirage.", ""},
    {"Nobody has come to play with us", "in a very long time."},
    {"Play? Three of you against one", "isn't a game."},
    {"It is if you're quick enough. Are you?", ""},
    {"We painted every one of", "these stars ourselves."},
    {"Hush, both of you.", "Let her look at them first."},
    {"One last round, then.", "All three moons at once."},
    {"Fine. I came too far to turn back now.", ""},
    {"Just don't sulk when I win.", ""},
    {"Brave words! Let the moons fall together!", ""},
    {"Don't blink.", ""},
    {"Here we come!", ""},
    kNoText,
    kNoText,
};

const EndingPage kEndings[3][kEndingPageCount] = {
    {  // kind 1: a clean clear
     {{"The last lantern of the palace went dark,", "and the false moon finally set.", nullptr, nullptr}},
     {{"The way home led back along the night road,", "the real moon bright above the trees.", nullptr, nullptr}},
     {{"At the shrine, the others were already", "waiting, arguing over who had won.", "Nobody had, of course.", nullptr}},
     {{"The veil was lifted, and the nights", "returned to the way they had always been.", "", "Ending No. 1 - Good End"}}},
    {  // kind 2: cleared with continues
     {{"The false moon flickered and faded,", "but its light did not quite leave the sky.", nullptr, nullptr}},
     {{"The way home was long, and the road", "seemed to twist back on itself.", nullptr, nullptr}},
     {{"Someone is still up there,", "waiting behind the mirage.", nullptr, nullptr}},
     {{"Perhaps next time, without looking back,", "the whole truth will be reached.", "", "Ending No. 2 - Try again without continuing"}}},
    {  // kind 3: the Extra stage
     {{"Past the edge of the mirage, among the stars,", "three moons turned slowly around each other.", nullptr, nullptr}},
     {{"They had only wanted someone", "who would play with them until dawn.", nullptr, nullptr}},
     {{"And so they played, all night long,", "until the sky turned pale.", nullptr, nullptr}},
     {{"The stars went quiet. The void was calm.", "Until the next time, perhaps.", "", "Extra Ending - Congratulations!"}}},
};
const EndingPage kEmptyPage = {{nullptr, nullptr, nullptr, nullptr}};

const char* const kCredits[] = {
    "Veiled Lunar Mirage",
    "",
    "- Game Design -",
    "The Danmaku Project Team",
    "",
    "- Programming -",
    "Platform and Library Team",
    "Renderer Team",
    "Sound Team",
    "Game Core Team",
    "Stage Script Team",
    "",
    "- Graphics -",
    "Procedurally drawn by assetgen",
    "",
    "- Music and Sound -",
    "Procedurally composed by assetgen",
    "",
    "- Fonts -",
    "DejaVu Fonts",
    "WenQuanYi Micro Hei",
    "",
    "- Libraries -",
    "SDL2, libpng, zlib, FreeType",
    "libogg, libvorbis, libtheora",
    "mpg123, LAME",
    "",
    "- Testing -",
    "Everyone who lost a life to stage 6",
    "",
    "",
    "Thank you for playing!",
};

// Left: the player. Right: Shion (4), princess of the moon palace, who hung the false
// moon as a veil over the sky. Lines 20-38 end a play without continues, 50-58 any other;
// 36-38 and 54-58 are narration, 38 and 58 name the ending. Lines 17-19, 39-49 and 59
// have no text.
constexpr DialogueText kStage6Lines[59] = {
    {"So this is where the moonlight ends up.", "A whole palace of it."},
    {"And you walked right in", "through the front gate. How rude."},
    {"You're the one behind the false moon?", ""},
    {"False? It's the loveliest moon", "this sky has ever had."},
    {"It's been keeping the whole land awake.", "Lanterns, fog, whispering bamboo..."},
    {"Everyone simply adores it.", "Is that so terrible?"},
    {"The real moon is stuck behind it.", ""},
    {"The real moon is dull and far away.", "Mine is close, and it listens."},
    {"A moon that listens is a mirage.", ""},
    {"Then you've been fighting a mirage", "all night, and losing."},
    {"Even the princess you met at the door", "was only my reflection."},
    {"...I did wonder why she never got hit.", ""},
    {"Stay here. The night can last forever", "in this palace."},
    {"Nights are supposed to end.", "I'm taking the sky back."},
    {"How dull. Then let me show you", "what my moon can really do."},
    {"Look up, and try not to lose yourself", "in the mirage!"},
    kNoText,
    kNoText,
    kNoText,
    {"The veil is tearing.", "I can see the real moon behind it."},
    {"Pale, a little lopsided...", "and exactly where it should be."},
    {"...You didn't look back once.", "Not a single time."},
    {"Looking back is how the mirage gets you.", ""},
    {"Hmph. I built this palace", "so nobody would ever leave."},
    {"Everyone has somewhere to go home to.", ""},
    {"Even a princess made of moonlight?", ""},
    {"Especially her. Come down some time.", "There's tea at the shrine."},
    {"Tea? With the people I kept awake?", ""},
    {"They'll forgive you.", "Probably after a nap."},
    {"...Then I'll let the veil fall.", "Just this once."},
    {"Only once?", ""},
    {"A princess never promises twice.", ""},
    {"Good enough for me.", ""},
    {"Go on, then. The real moon", "is waiting for you to notice it."},
    {"I noticed it first thing.", "It's a lot prettier than yours."},
    {"The false moon sank behind the palace,", "and the veil drifted apart like mist."},
    {"Far below, the lanterns went out", "one by one, and the land finally slept."},
    {"Ending No. 1", "The Veil Lifted"},
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    kNoText,
    {"The veil is tearing.", "I can see the real moon behind it."},
    {"...Wait. Where did the princess go?", ""},
    {"The palace is fading too.", "Was any of it really here?"},
    {"I looked back too many times.", "The mirage slipped away with her."},
    {"The false moon faded, but a faint glow", "lingered behind the real one."},
    {"The lanterns dimmed, the fog thinned,", "and most of the land fell asleep."},
    {"Somewhere above the clouds, a palace", "of moonlight still waits for a guest."},
    {"One who never turns back.", ""},
    {"Ending No. 2", "Try again without continuing"},
    kNoText,
};

}  // namespace

const char* CardName(int id) {
  for (const CardNameRange& r : kCardNames)
    if (id >= r.first && id <= r.last) return r.name;
  return kUnknownCardName;
}

const EndingPage& EndingPageText(int kind, int page) {
  if (kind < 1 || kind > 3 || page < 0 || page >= kEndingPageCount) return kEmptyPage;
  return kEndings[kind - 1][page];
}

const DialogueText& Stage1DialogueText(int line) {
  return line >= 1 && line <= 18 ? kStage1Lines[line - 1] : kNoText;
}

const DialogueText& Stage2DialogueText(int line) {
  return line >= 1 && line <= 28 ? kStage2Lines[line - 1] : kNoText;
}

const DialogueText& Stage3DialogueText(int line) {
  return line >= 1 && line <= 23 ? kStage3Lines[line - 1] : kNoText;
}

const DialogueText& Stage4DialogueText(int line) {
  return line >= 1 && line <= 47 ? kStage4Lines[line - 1] : kNoText;
}

const DialogueText& Stage5DialogueText(int line) {
  return line >= 1 && line <= 27 ? kStage5Lines[line - 1] : kNoText;
}

const DialogueText& Stage6DialogueText(int line) {
  return line >= 1 && line <= 59 ? kStage6Lines[line - 1] : kNoText;
}

const DialogueText& ExtraDialogueText(int line) {
  return line >= 1 && line <= 66 ? kExtraLines[line - 1] : kNoText;
}

const DialogueText& PracticeDialogueText(int line) {
  return line >= 1 && line <= 14 ? kPracticeLines[line - 1] : kNoText;
}

int CreditLineCount() { return int(sizeof kCredits / sizeof kCredits[0]); }

const char* CreditLine(int index) {
  return index >= 0 && index < CreditLineCount() ? kCredits[index] : "";
}
