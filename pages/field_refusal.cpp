// field_refusal.cpp: the frame builders' refusal of a field.
#include "field_refusal.h"

#include "ui.h"

int refuse_field(PageWindow page, const char* message) {
    ui_message_box(page, message, "Invalid!");
    return -1;
}
