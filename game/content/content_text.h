#pragma once
// The game's texts, in English and UTF-8: card names, ending pages and the staff
// roll. The stage scripts add their conversation lines beside these.

constexpr int kCardIdCount = 119;
// The name shown before a card is known and for ids outside 0..118.
extern const char* const kUnknownCardName;  // "？？？？？？"

// The name of card `id` (0..118). Ids of one body share a text where the card is
// the same on those difficulties; outside 0..118 the unknown name.
const char* CardName(int id);

// Ending pages: kind 1 (cleared with the score's last digit 0), 2 (any other main
// game clear) and 3 (Extra), each four pages of an image cell and up to four lines.
constexpr int kEndingPageCount = 4, kEndingLineCount = 4;
struct EndingPage {
  const char* lines[kEndingLineCount];  // nullptr after the last line
};
// Kind outside 1..3 or page outside 0..3 gives an empty page.
const EndingPage& EndingPageText(int kind, int page);

// Conversation lines: what one numbered line says, in up to two text lines ("" when
// unused). A number without text gives two empty lines.
struct DialogueText {
  const char* line1;
  const char* line2;
};
// Stage 1, lines 1..18: the lantern-bearer on the night road.
const DialogueText& Stage1DialogueText(int line);
// Stage 2, lines 1..28 (spoken: 1..14 and 20..26): the ferrywoman of the frozen lake.
const DialogueText& Stage2DialogueText(int line);
// Stage 3, lines 1..23 (spoken: 1..12 and 20..21): the keeper of the bamboo grove.
const DialogueText& Stage3DialogueText(int line);
// Stage 4, lines 1..47 (with text: 1..5, 7..10, 20..36 and 41..46): the three sisters at the
// gate, then Tsukuyo of the Red Mansion.
const DialogueText& Stage4DialogueText(int line);
// Stage 5, lines 1..27 (spoken: 1..10 and 20..25): Rindou on the road above the clouds.
const DialogueText& Stage5DialogueText(int line);
// Stage 6, lines 1..59 (spoken: 1..16, 20..38 and 50..58; 38 and 58 name the ending):
// Shion, princess of the moon palace, then the two ending conversations.
const DialogueText& Stage6DialogueText(int line);
// Extra, lines 1..66 (spoken: 1..19, 30..33 and 50..65): Shion the star-gazer, then the
// three moons together.
const DialogueText& ExtraDialogueText(int line);
// Spell practice of the last Extra card, lines 1..14: the three moons before their card.
const DialogueText& PracticeDialogueText(int line);

// Staff roll lines from the top; an empty line is a gap.
int CreditLineCount();
const char* CreditLine(int index);  // "" outside the list
