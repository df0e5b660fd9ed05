#include "support/command_table.h"

#include <sstream>
#include <stdexcept>

#include "script/script_data.h"

namespace {

// One command: its slot, script name, argument count and the arguments that
// have a meaning, written "id:name[:kind[:check]]" with kind n (number,
// default), s (string) or r (raw: evaluated by the command itself, or a
// branch target). Arguments not listed are named "p<id>".
struct CommandRow {
  int mSlot;
  const char* mName;
  int mArgCount;
  const char* mArgs;
};

// Branch targets, conditions and values that commands evaluate themselves
// are raw, so that fetching the arguments evaluates nothing for them.
constexpr CommandRow kCommands[] = {
    {0, "nop", 0, ""},
    {1, "layer", 58,
     "0:path:s 1:num 2:visible 3:opacity 4:x 5:y 6:order 7:saturation 8:tone 9:width 10:height "
     "24:texture_flag 25:build_tiles 26:capture 27:gpu_frame 28:x100 29:y100 30:scale_x 31:scale_y "
     "32:rotation1 33:rotation2 34:rotation3 35:centre_x 36:centre_y 37:model_x 38:model_y 39:extra "
     "40:saturation2 41:tone2 42:flag2 43:second_path:s 44:fade 45:shrink 46:file:s 47:source:s 48:mask:s "
     "50:rule_threshold 51:rule_path:s 52:rule_num 53:rule_softness 54:blend 56:tag1 57:tag2"},
    {2, "image", 100,
     "0:source:s 1:dest:s 2:second:s 3:third:s 4:source_num 5:dest_num 6:second_num 7:third_num 9:p1:r "
     "10:p2:r 11:text:s 12:x0 13:y0 14:x1 15:y1 16:width 17:height 18:x0_100 19:y0_100 20:x1_100 21:y1_100 "
     "22:width100 23:height100 24:resize 25:resize20 26:resize30 27:resize40 28:resize50 29:rotate "
     "30:rotate_smooth 31:saturation 32:tone 33:sepia 34:paste 35:blend 36:crossfade 38:keep_diff "
     "39:keep_equal 40:autocrop 41:margins 42:brightness 43:threshold 44:vflip 45:mirror 46:mosaic 47:blur "
     "48:blur_h 49:blur_v 50:blur_box 51:shadow 52:shadow_box 53:scatter 54:wave_h 55:wave_v 56:wave "
     "57:negative 58:fill 59:fill_alpha 60:fill_argb 61:alpha_ramp 62:swirl 63:style 64:draw_text "
     "65:copy_attrs 66:copy_gpu 67:swap 68:swap2 69:sprite 70:gpu_capture"},
    {3, "layer_delete", 2, "0:path:s 1:num"},
    {4, "layer_query", 36,
     "0:path:s 1:num 2:exists 3:visible 4:opacity 5:x 6:y 7:order 9:rule_threshold 10:rule_path "
     "11:rule_softness 12:blend 13:width 14:height 15:scale_x 16:scale_y 17:model_x 18:model_y 19:extra "
     "20:gpu_state 21:colour_at 22:alpha_at 23:pixel_at 24:colour_at_layer 25:edge 26:tag1 27:tag2 "
     "28:find_tag 29:child_count 30:child_name 31:child_is_group 32:n 33:out 34:px 35:py"},
    {5, "clip_copy", 2, "0:on 1:text:s"},
    {6, "clip_paste", 2, "0:on 1:out"},
    {7, "textdata_read", 2, "0:file:s 1:out"},
    {8, "textdata_count", 3, "0:file:s 2:out"},
    {9, "nop9", 0, ""},
    {10, "msgbox", 21,
     "0:caption:s 1:text:s 9:default:s 10:input_out 11:answer 13:okcancel 14:yesno 15:yesnocancel 16:input "
     "17:max_length 18:default_button 19:icon 20:silent"},
    {11, "else", 2, "0:cond 1:next:r"},
    {12, "emote", 18,
     "0:path:s 1:num 2:value214 3:value218 4:value216 5:ordinal235 6:f1 7:f2 8:f3 9:f4 10:f5 11:ordinal253 "
     "12:text:s 13:is_motion 14:time 15:names 16:values 17:count"},
    {13, "end", 1, "0:restart"},
    {14, "switches", 124, ""},
    {15, "validate15", 0, ""},
    {20, "file", 18,
     "0:file:s 1:file2:s 2:folder:s 3:mkdir 4:copy 5:delete 6:open 7:open_wait 8:params:s 9:quality "
     "10:layer:s 11:layer_num 12:bmp 13:png 14:jpeg 15:webp 16:preload_image:n:7 17:preload_sound:n:7"},
    {21, "file_info", 8, "0:path:s 1:data:s 2:image:s 3:sound:s 4:exists 5:size 6:program 7:out"},
    {22, "flash", 7, "0:file:s 1:play 2:x 3:y 4:width 5:height 6:user"},
    {23, "flash_stop", 0, ""},
    {24, "flash_query", 10, "0:playing 1:variable 2:x 3:y 4:width 5:height 6:frame 7:user 8:total 9:out"},
    {25, "real", 2, "0:var:r 1:value:r"},
    {26, "text_style", 12,
     "0:style 1:font 2:face:s 3:antialias 4:colour 5:colour2 6:gradient 7:direction 8:mode 9:width 10:height "
     "11:bold"},
    {27, "text_style_query", 19,
     "0:font_num 1:face 2:antialias 3:colour 4:colour2 5:gradient 6:direction 7:mode 8:width 9:height 10:bold "
     "11:font_count 12:zero 13:non_japanese 14:advance 15:char_height 17:char:s 18:out"},
    {28, "frame_rate", 2, "0:fps 1:skip"},
    {42, "jump", 1, "0:label:s"},
    {43, "call", 49, ""},  // filled below: label, i1-i16, r1-r16, s1-s16
    {44, "if", 3, "0:cond:r 1:next:r 2:end:r"},
    {45, "goto_end", 0, ""},
    {46, "block_break", 1, "0:count"},
    {47, "block_repeat", 1, "0:count"},
    {48, "endif", 0, ""},
    {49, "input", 3, "0:keyboard 1:joystick 2:mouse"},
    {50, "int", 2, "0:var:r 1:value:r"},
    {51, "nop51", 0, ""},
    {52, "label_exists", 3, "0:name:s 1:out 2:check"},
    {53, "assign", 2, "0:target:r 1:value:r"},
    {54, "load", 6, "0:file:s 1:slot 2:dno 3:var 4:layer:s 5:num"},
    {55, "loop", 2, "0:limit 1:end:r"},
    {56, "break", 1, "0:count"},
    {57, "continue", 1, "0:count"},
    {58, "endloop", 0, ""},
    {60, "math", 23,
     "0:out 1:x:r 2:y:r 3:text:s 4:sin 5:asin 6:sinh 7:cos 8:acos 9:cosh 10:tan 11:atan 12:atan2 13:tanh "
     "14:sqrt 15:abs 16:exp 17:log 18:log10 19:pow 20:random 21:crc32 22:calc"},
    {61, "camera", 2, "0:camera 1:object"},
    {62, "menu", 7, "0:path:s 1:text:s 2:order 3:visible 4:enabled 5:checked 6:command"},
    {63, "menu_popup", 2, "0:path:s 1:show"},
    {64, "menu_delete", 1, "0:path:s"},
    {65, "menu_query", 9, "0:out 1:path:s 2:text 3:exists 4:order 5:visible 6:enabled 7:checked 8:command"},
    {66, "validate66", 0, ""},
    {67, "validate67", 0, ""},
    {68, "validate68", 0, ""},
    {69, "mouse", 11,
     "0:mode 1:delay 2:on_move 3:on_buttons 4:on_wheel 5:x 6:y 7:cursor 8:hot_x 9:hot_y 10:layer:s"},
    {70, "movie", 7, "0:file:s 1:play 2:x 3:y 4:width 5:height 6:volume"},
    {71, "movie_stop", 0, ""},
    {72, "movie_query", 8, "0:playing 1:x 2:y 3:width 4:height 5:volume 6:mpeg_type:s 7:out"},
    {73, "ogv", 6, "0:path:s 1:num 2:file:s 4:width 5:height"},
    {74, "ogv_close", 0, ""},
    {75, "ogv_query", 6, "0:playing 1:sample 2:height 3:volume 4:mpeg_type:s 5:out"},
    {76, "validate76", 0, ""},
    {77, "nop77", 0, ""},
    {78, "registry", 3, "0:key:s 1:value:s 2:out"},
    {79, "return", 48, ""},  // filled below: i1-i16, r1-r16, s1-s16
    {80, "nop80", 0, ""},
    {81, "msg_end", 1, "0:tag:r"},
    {82, "nop82", 0, ""},
    {83, "nop83", 0, ""},
    {84, "nop84", 0, ""},
    {86, "save", 18, "0:file:s 1:slot 2:dno 3:var 4:layer:s 5:num"},
    {87, "discard", 0, ""},
    {88, "validate88", 0, ""},
    {89, "sound", 14,
     "0:path:s 1:enabled 2:file:s 3:play 4:pause 5:fade 6:start 7:loop_back 8:end 9:loops 10:volume 11:pan "
     "12:frequency 13:nop"},
    {90, "sound_delete", 1, "0:path:s"},
    {91, "sound_query", 24,
     "0:path:s 1:loaded 2:enabled 3:playing 4:paused 5:volume 6:pan 7:frequency 8:file_name 9:source_kind "
     "10:start 11:loop_back 12:end 13:loop_target 14:loops_done 15:position 16:length 17:channels 18:bits "
     "19:rate 20:level 21:level2 22:decoded 23:out"},
    {92, "str", 2, "0:var:r 1:value:r"},
    {93, "screen", 8, "0:block_saver 1:background 2:width 3:height 4:stopwatch1 5:stopwatch2 6:stopwatch3 7:stopwatch4"},
    {94, "script_list", 6, "0:name 1:count 2:value 3:emote 4:index 5:out"},
    {95, "task", 38,
     "0:path:s 1:enable1 2:enable2 3:order 4:i1 5:i2 6:i3 7:i4 8:i5 9:i6 10:i7 11:i8 12:i9 13:i10 14:r1 "
     "15:r2 16:r3 17:r4 18:r5 19:r6 20:r7 21:r8 22:r9 23:r10 34:label:s 35:context:s 37:rerun"},
    {96, "task_end", 1, "0:path:s"},
    {97, "task_query", 20,
     "0:path:s 1:out 2:exists 3:enable1 4:enable2 5:order 6:script_name 7:script 8:line 9:top_script_name "
     "10:top_script 11:top_line 12:tag1 13:tag2 16:block_depth 17:call_depth 18:loop_depth 19:context"},
    {98, "textfile_read", 3, "0:file:s 1:out 2:reset"},
    {99, "validate99", 0, ""},
    {100, "tray", 4, "0:show 1:tip:s 2:icon:s 3:menu:s"},
    {101, "validate101", 0, ""},
    {102, "var_ops", 29,
     "0:a 1:b 2:remove 3:substr 4:start 5:length 6:convert 7:upper 8:lower 9:half 10:full 11:wide 12:narrow "
     "13:resize 14:insert 15:delete 16:reset 17:int_g1 18:int_g2 19:int_g3 20:int_g4 21:real_g1 22:real_g2 "
     "23:real_g3 24:real_g4 25:str_g1 26:str_g2 27:str_g3 28:str_g4"},
    {103, "var_info", 22,
     "0:a 1:b 2:type 3:char_class 4:dims 5:dim0 6:dim1 7:dim2 8:dim3 9:dim4 10:dim5 11:dim6 12:dim7 13:length "
     "14:search 15:smallest 16:char_code 17:int_value 18:real_value 19:text:s 20:from 21:to"},
    {104, "wait", 2, "0:frames 1:ms"},
    {105, "window", 26,
     "0:window:n:5 1:title:s 2:opacity 3:visible 4:x 5:y 6:zorder 7:width 8:height 9:aspect_width "
     "10:aspect_height 11:front 12:maximise_box 13:fullscreen 14:minimised 15:maximise 16:maximise_allowed "
     "17:minimise_allowed 18:close_state 19:flash 20:flash_timeout 21:layers:s 22:menu:s 23:shape:s 24:drag:s "
     "25:thick_frame"},
    {106, "window_hide", 1, "0:window:n:5"},
    {107, "window_query", 18,
     "0:window:n:5 1:out 2:exists 3:opacity 4:visible 5:active 6:title 7:left 8:top 10:width 11:height "
     "12:client_width 13:client_height 14:monitor 15:fullscreen 16:maximised 17:minimised"},
    {108, "msg_text", 1, "0:text:r"},
    {109, "anim", 4, "0:path:s 1:num 2:file:s 3:frame"},
    {110, "anim_release", 2, "0:path:s 1:num"},
    {111, "anim_query", 7, "0:path:s 1:num 2:out 3:count 4:value1 5:value2 6:value3"},
    {112, "msg_value", 1, "0:value:r"},
    {116, "os", 25, "0:sub 1:out 2:n 3:p 4:q 5:r 22:s1 23:s2 24:s3"},
};

std::vector<ArgumentDecl> ParseArgs(const CommandRow& row) {
  std::vector<ArgumentDecl> args(static_cast<size_t>(row.mArgCount));
  for (int id = 0; id < row.mArgCount; ++id) args[id].mName = "p" + std::to_string(id);
  std::istringstream words(row.mArgs);
  std::string word;
  while (words >> word) {
    std::istringstream fields(word);
    std::string idText;
    std::string name;
    std::string kind;
    std::string check;
    std::getline(fields, idText, ':');
    std::getline(fields, name, ':');
    std::getline(fields, kind, ':');
    std::getline(fields, check, ':');
    int id = std::stoi(idText);
    if (id < 0 || id >= row.mArgCount) throw std::logic_error(std::string("bad argument id in ") + row.mName);
    ArgumentDecl& arg = args[id];
    arg.mName = name;
    arg.mValueKind = kind == "s" ? 1 : kind == "r" ? 2 : 0;
    arg.mCheckKind = check.empty() ? 0 : static_cast<uint8_t>(std::stoi(check));
  }
  return args;
}

// Values passed by a call or returned: integers, raw reals, strings.
void AddCallValues(std::vector<ArgumentDecl>& args, int first) {
  for (int index = 1; index <= 16; ++index) args[first + index - 1] = {"i" + std::to_string(index), 0, 0};
  for (int index = 1; index <= 16; ++index) args[first + 15 + index] = {"r" + std::to_string(index), 2, 0};
  for (int index = 1; index <= 16; ++index) args[first + 31 + index] = {"s" + std::to_string(index), 1, 0};
}

std::vector<CommandDecl> BuildTable() {
  std::vector<CommandDecl> table(kCommandSlots);
  for (int slot = 0; slot < kCommandSlots; ++slot) table[slot].mName = "reserved" + std::to_string(slot);
  for (const CommandRow& row : kCommands) {
    table[row.mSlot].mName = row.mName;
    table[row.mSlot].mArgs = ParseArgs(row);
  }
  // The command switches: argument id k (3..123) sets switch k - 2.
  std::vector<ArgumentDecl>& switches = table[14].mArgs;
  for (int id = 3; id < 124; ++id) switches[id] = {"cmd" + std::to_string(id - 2), 0, 0};
  std::vector<ArgumentDecl>& call = table[kCommandCall].mArgs;
  call[0] = {"label", 1, 0};
  AddCallValues(call, 1);
  AddCallValues(table[kCommandReturn].mArgs, 0);
  return table;
}

}  // namespace

const std::vector<CommandDecl>& StandardCommandTable() {
  static const std::vector<CommandDecl> table = BuildTable();
  return table;
}

int FindCommandSlot(const std::string& name) {
  const std::vector<CommandDecl>& table = StandardCommandTable();
  for (size_t slot = 0; slot < table.size(); ++slot) {
    if (table[slot].mName == name) return static_cast<int>(slot);
  }
  return -1;
}

int FindArgumentId(int slot, const std::string& name) {
  const std::vector<CommandDecl>& table = StandardCommandTable();
  if (slot < 0 || slot >= static_cast<int>(table.size())) return -1;
  for (size_t id = 0; id < table[slot].mArgs.size(); ++id) {
    if (table[slot].mArgs[id].mName == name) return static_cast<int>(id);
  }
  return -1;
}
