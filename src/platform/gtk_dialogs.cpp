#include "platform/gtk_dialogs.h"

#include <SDL.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include "platform/gtk_lock.h"
#include "platform/sjis_chars.h"
#include "platform/text_codec.h"
#include "platform/window.h"
#include "platform/x11_handles.h"

namespace {

bool StartGtk() {
  static const bool started = gtk_init_check(nullptr, nullptr) != FALSE;
  return started;
}

std::string Utf8(const std::string& cp932) { return ConvertCp932ToUtf8(cp932); }

// The answer in Shift-JIS, at most `limit` bytes (0: no limit), cut on a
// character boundary.
std::string Answer(const char* utf8, size_t limit) {
  std::string text = ConvertUtf8ToCp932(utf8 != nullptr ? utf8 : "");
  if (limit != 0) text.resize(SjisCutLength(text, limit));
  return text;
}

// Keeps the dialog above the game window when both live on one X display.
void SetOwner(GtkWidget* dialog, PlatformWindow* owner) {
  ::Display* ownerDisplay = nullptr;
  ::Window ownerWindow = 0;
  if (owner == nullptr || !GetX11Handles(GetSdlWindow(owner), &ownerDisplay, &ownerWindow)) return;
  GdkDisplay* display = gdk_display_get_default();
  if (display == nullptr || !GDK_IS_X11_DISPLAY(display)) return;
  GdkWindow* foreign = gdk_x11_window_foreign_new_for_display(display, ownerWindow);
  if (foreign == nullptr) return;
  gtk_widget_realize(dialog);
  gdk_window_set_transient_for(gtk_widget_get_window(dialog), foreign);
  g_object_unref(foreign);
}

void Drain() {
  while (gtk_events_pending() != FALSE) gtk_main_iteration();
}

// Runs the dialog until one of its buttons answers (the window's close box
// answers nothing).
int RunUntilButton(GtkWidget* dialog) {
  for (;;) {
    int response = gtk_dialog_run(GTK_DIALOG(dialog));
    if (response != GTK_RESPONSE_DELETE_EVENT && response != GTK_RESPONSE_NONE) return response;
  }
}

GtkWidget* NewDialog(PlatformWindow* owner, const std::string& title) {
  GtkWidget* dialog = gtk_dialog_new();
  gtk_window_set_title(GTK_WINDOW(dialog), Utf8(title).c_str());
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  gtk_window_set_deletable(GTK_WINDOW(dialog), FALSE);
  gtk_window_set_position(GTK_WINDOW(dialog), GTK_WIN_POS_CENTER);
  gtk_window_set_keep_above(GTK_WINDOW(dialog), TRUE);
  SetOwner(dialog, owner);
  return dialog;
}

int RunInput(PlatformWindow* owner, const TextDialogRequest& request, std::string* result) {
  GtkWidget* dialog = NewDialog(owner, request.mCaption);
  GtkWidget* area = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
  gtk_container_set_border_width(GTK_CONTAINER(area), 10);
  GtkWidget* prompt = gtk_label_new(Utf8(request.mPrompt).c_str());
  gtk_label_set_justify(GTK_LABEL(prompt), GTK_JUSTIFY_CENTER);
  gtk_label_set_line_wrap(GTK_LABEL(prompt), TRUE);
  GtkWidget* entry = gtk_entry_new();
  gtk_entry_set_text(GTK_ENTRY(entry), Utf8(request.mText).c_str());
  if (request.mMaxLength > 0) gtk_entry_set_max_length(GTK_ENTRY(entry), request.mMaxLength);
  gtk_entry_set_activates_default(GTK_ENTRY(entry), TRUE);
  gtk_box_pack_start(GTK_BOX(area), prompt, TRUE, TRUE, 4);
  gtk_box_pack_start(GTK_BOX(area), entry, FALSE, FALSE, 4);
  gtk_dialog_add_button(GTK_DIALOG(dialog), "OK", GTK_RESPONSE_OK);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  gtk_widget_show_all(dialog);
  gtk_widget_grab_focus(entry);
  RunUntilButton(dialog);
  *result = Answer(gtk_entry_get_text(GTK_ENTRY(entry)), static_cast<size_t>(request.mMaxLength > 0 ? request.mMaxLength : 0));
  gtk_widget_destroy(dialog);
  Drain();
  return kDialogOk;
}

int RunEdit(PlatformWindow* owner, const TextDialogRequest& request, std::string* result) {
  GtkWidget* dialog = NewDialog(owner, request.mCaption);
  GtkWidget* area = gtk_dialog_get_content_area(GTK_DIALOG(dialog));
  GtkWidget* scroller = gtk_scrolled_window_new(nullptr, nullptr);
  gtk_scrolled_window_set_policy(GTK_SCROLLED_WINDOW(scroller), GTK_POLICY_AUTOMATIC, GTK_POLICY_ALWAYS);
  gtk_scrolled_window_set_shadow_type(GTK_SCROLLED_WINDOW(scroller), GTK_SHADOW_IN);
  gtk_widget_set_size_request(scroller, 480, 140);
  GtkWidget* view = gtk_text_view_new();
  GtkTextBuffer* buffer = gtk_text_view_get_buffer(GTK_TEXT_VIEW(view));
  gtk_text_buffer_set_text(buffer, Utf8(request.mText).c_str(), -1);
  gtk_container_add(GTK_CONTAINER(scroller), view);
  gtk_box_pack_start(GTK_BOX(area), scroller, TRUE, TRUE, 6);
  gtk_dialog_add_button(GTK_DIALOG(dialog), "OK", GTK_RESPONSE_OK);
  gtk_dialog_add_button(GTK_DIALOG(dialog), Utf8("ｷｬﾝｾﾙ").c_str(), GTK_RESPONSE_CANCEL);
  gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK);
  gtk_widget_show_all(dialog);
  gtk_widget_grab_focus(view);
  int answer = RunUntilButton(dialog) == GTK_RESPONSE_OK ? kDialogOk : kDialogCancel;
  if (answer == kDialogOk) {
    GtkTextIter start;
    GtkTextIter end;
    gtk_text_buffer_get_bounds(buffer, &start, &end);
    gchar* text = gtk_text_buffer_get_text(buffer, &start, &end, FALSE);
    *result = Answer(text, static_cast<size_t>(request.mMaxLength > 0 ? request.mMaxLength : 0));
    g_free(text);
  }
  gtk_widget_destroy(dialog);
  Drain();
  return answer;
}

int RunChooser(const TextDialogRequest& request, std::string* result) {
  bool save = request.mKind == TextDialogKind::kSaveFile;
  GtkFileChooserNative* chooser = gtk_file_chooser_native_new(
      Utf8(request.mCaption).c_str(), nullptr, save ? GTK_FILE_CHOOSER_ACTION_SAVE : GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER,
      nullptr, nullptr);
  GtkFileChooser* files = GTK_FILE_CHOOSER(chooser);
  gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(chooser), TRUE);
  if (save) {
    gtk_file_chooser_set_do_overwrite_confirmation(files, TRUE);
    GtkFileFilter* filter = gtk_file_filter_new();
    gtk_file_filter_set_name(filter, Utf8(request.mFilterName).c_str());
    gtk_file_filter_add_pattern(filter, Utf8(request.mFilterPattern).c_str());
    gtk_file_chooser_add_filter(files, filter);
    if (!request.mText.empty()) gtk_file_chooser_set_current_name(files, Utf8(request.mText).c_str());
  } else if (!request.mText.empty()) {
    gtk_file_chooser_set_current_folder(files, request.mText.c_str());
  }
  int answer = kDialogCancel;
  if (gtk_native_dialog_run(GTK_NATIVE_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
    if (gchar* path = gtk_file_chooser_get_filename(files)) {
      *result = ConvertUtf8ToCp932(path);
      g_free(path);
      answer = kDialogOk;
    }
  }
  g_object_unref(chooser);
  Drain();
  return answer;
}

}  // namespace

int RunGtkTextDialog(PlatformWindow* owner, const TextDialogRequest& request, std::string* result) {
  std::lock_guard<std::recursive_mutex> gtk(GtkLock());
  if (!StartGtk()) return kDialogFailed;
  switch (request.mKind) {
    case TextDialogKind::kInput: return RunInput(owner, request, result);
    case TextDialogKind::kEdit: return RunEdit(owner, request, result);
    case TextDialogKind::kSaveFile:
    case TextDialogKind::kFolder: return RunChooser(request, result);
  }
  return kDialogFailed;
}
