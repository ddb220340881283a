// Found before Qt's own header only by tovi_core and its probe.
#error "tovi_core must not use QtWidgets: move this code to src/widgets"
