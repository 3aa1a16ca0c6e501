// The object groups of a station as zlpoll reads them: which channels hold
// the objects, which command channel triggers their read, and which status
// flag the answer raises.
#ifndef ZL_ZLPOLL_GROUPS_H
#define ZL_ZLPOLL_GROUPS_H

#include <cstdint>
#include <string>
#include <vector>

#include "config/Station.h"

namespace zl::poll {

enum class Group {
  BI,   // binary inputs, out_read_BI
  BO,   // binary outputs: the values the driver holds (nothing reads them back)
  AI,   // analog inputs through the "N" analog block, out_read_AI
  AIK,  // analog inputs as "A" raw readings, out_read_AItolvin
  CT,   // counters, out_read_CT
  MI,   // memory inputs, out_read_KI of a station that does not dial
  KI,   // memory outputs 1..8 through "K", out_read_KI of a dialling station
  MB,   // memory blocks, each block's CHANNEL_READ
  QQ,   // QQ variables that can be read, InputRequest
};

const char *GroupName(Group g);

// One object of a reading.
struct Item {
  Group Of = Group::BI;
  std::string Label;  // object number, "block.item" (mb), or the address "0.16.1" (qq)
  uint16_t Channel = 0;
  uint32_t Type = 0;  // the ValueType GetInput is asked for
  std::string Kind;   // "WORD BIDIR" (mb, qq); empty for the fixed groups
};

std::vector<Item> ItemsOf(const Station &st, Group g);

// How many objects of the group, counted from 1, the driver's exchanges
// carry. The binary, counter and raw analog exchanges name whole groups of
// eight in a mask (a binary mask of 0 carries all twelve groups, a counter or
// analog mask of 0 nothing), so objects after the last whole group of eight
// are never read or written.
int Reach(const Station &st, Group g);

// How a group is read: commands (written 1, type bool), InputRequests, and the
// bi_new flag an answer sets (0: the group has none).
struct ReadPlan {
  std::vector<uint16_t> Commands;
  std::vector<uint16_t> Requests;
  uint16_t Flag = 0;
};

ReadPlan PlanOf(const Station &st, Group g);

// The groups named on the command line for station number n ("all": every
// group the station has objects in). Errors are usage errors and say which
// group or channel to use instead.
bool SelectGroups(const Station &st, int n, const std::vector<std::string> &names,
                  std::vector<Group> &out, std::string &error);

// Names of the type and direction codes: QQ types 1..7 (memory block items
// use 1..6 alike), QQ directions 1..3, memory block item directions 1..3.
const char *ItemTypeName(uint8_t type);
const char *QqDirectionName(uint8_t direction);
const char *BlockDirectionName(uint8_t direction);
// A QQ variable's three address values: "0.16.1".
std::string QqAddressText(const QqVariable &v);

// A station's name and number for messages: "station 1 (KOTELNA)".
std::string Describe(const Station &st, int n);
// The station's gateway: "127.0.0.1:4001" (UTF-8, as every text zlpoll prints).
std::string Gateway(const Station &st);

// A status channel of the station, or 0 with a message naming the keyword to
// add to the parameter file.
uint16_t StatusChannelOf(const Station &st, int n, StatusChannel which, std::string &error);
const char *StatusKeyword(StatusChannel which);

}  // namespace zl::poll

#endif  // ZL_ZLPOLL_GROUPS_H
