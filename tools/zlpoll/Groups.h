// The object groups of a station, one list for every command: which
// channels hold the objects, whether and how the driver reads them (the
// command channel that triggers the read, the status flag the answer
// raises), whether zlpoll writes them, and why a group the file configures
// can never be read as configured.
#ifndef ZL_ZLPOLL_GROUPS_H
#define ZL_ZLPOLL_GROUPS_H

#include <cstdint>
#include <string>
#include <vector>

#include "config/StationConfig.h"

namespace zl::poll {

enum class Group {
  BI,   // binary inputs, out_read_BI
  BO,   // binary outputs: written; nothing reads them back
  AI,   // analog inputs through the "N" analog block, out_read_AI
  AIK,  // the same analog inputs as "A" raw readings, out_read_AItolvin
  CT,   // counters, out_read_CT
  MO,   // memory outputs: written; 1..8 read through "K" (out_read_KI) of a
        // dialling station
  MI,   // memory inputs, out_read_KI of a station that does not dial
  MB,   // memory blocks, each block's CHANNEL_READ; OUTPUT and BIDIR items written
  QQ,   // QQ variables: READ and BIDIR ones read (InputRequest), WRITE and
        // BIDIR ones written
};

const char *GroupName(Group g);
// The group of a name ("ki", the older name of mo as a dialling station
// reads it, is taken too); false for none.
bool GroupNamed(const std::string &name, Group &g);
// Every group, in the list's order.
std::vector<Group> AllGroups();
// "bi bo ai aik ct mo mi mb qq" (writable: "bo mo qq mb"), for messages.
std::string GroupList(bool writableOnly = false);
// A short description: "binary inputs".
const char *GroupTitle(Group g);
// Whether write takes the group.
bool Writable(Group g);
// Every object of the group as the file configures it (every QQ variable).
int ConfiguredCount(const StationConfig &st, Group g);

// One object of a reading.
struct Item {
  Group Of = Group::BI;
  std::string Label;  // object number, "block.item" (mb), or the address "0.16.1" (qq)
  uint16_t Channel = 0;
  uint32_t Type = 0;  // the ValueType GetInput is asked for
  std::string Kind;   // "WORD BIDIR" (mb, qq); empty for the fixed groups
};

// The objects of a group that a reading shows: those the driver reads.
std::vector<Item> ItemsOf(const StationConfig &st, Group g);

// How many objects of the group, counted from 1, the driver's exchanges
// carry. The binary, counter and raw analog exchanges name whole groups of
// eight in a mask (a binary mask of 0 carries all twelve groups, a counter or
// analog mask of 0 nothing), so objects after the last whole group of eight
// are never read or written.
int Reach(const StationConfig &st, Group g);

// Why the driver can never read the group of the station as the file
// configures it, or which of its objects it never reads; empty when it reads
// them all. Unreadable tells the two apart: nothing of the group is read.
struct ReadLimit {
  bool Unreadable = false;
  std::string Why;
};
ReadLimit LimitOf(const StationConfig &st, int n, Group g);

// How a group is read: commands (written 1, type bool), InputRequests, and the
// bi_new flag an answer sets (0: the group has none).
struct ReadPlan {
  std::vector<uint16_t> Commands;
  std::vector<uint16_t> Requests;
  uint16_t Flag = 0;
};

ReadPlan PlanOf(const StationConfig &st, Group g);

// The groups named on the command line for station number n ("all": every
// group of the station that the driver reads). Errors are usage errors and
// say why the group cannot be read, or which group or channel to use instead.
bool SelectGroups(const StationConfig &st, int n, const std::vector<std::string> &names,
                  std::vector<Group> &out, std::string &error);

// Names of the type and direction codes: QQ types 1..7 (memory block items
// use 1..6 alike), QQ directions 1..3, memory block item directions 1..3.
const char *ItemTypeName(uint8_t type);
const char *QqDirectionName(uint8_t direction);
const char *BlockDirectionName(uint8_t direction);
// A QQ variable's three address values: "0.16.1".
std::string QqAddressText(const QqVariable &v);

// A station's name and number for messages: "station 1 (KOTELNA)".
std::string Describe(const StationConfig &st, int n);
// The station's gateway: "127.0.0.1:4001" (UTF-8, as every text zlpoll prints).
std::string Gateway(const StationConfig &st);

// A status channel of the station, or 0 with a message naming the keyword to
// add to the parameter file.
uint16_t StatusChannelOf(const StationConfig &st, int n, StatusChannel which, std::string &error);
const char *StatusKeyword(StatusChannel which);

}  // namespace zl::poll

#endif  // ZL_ZLPOLL_GROUPS_H
