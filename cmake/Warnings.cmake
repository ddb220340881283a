# Every target of ours links tovi_warnings; CI builds with TOVI_WERROR=ON.
add_library(tovi_warnings INTERFACE)
target_compile_options(tovi_warnings INTERFACE -Wall -Wextra -Wshadow -Wconversion
                       -Wno-sign-conversion $<$<BOOL:${TOVI_WERROR}>:-Werror>)

# The core must never see QtWidgets: its include path leads QtWidgets' global header to an #error,
# so a widget include in a core file fails to compile.
function(tovi_forbid_widgets target)
    target_include_directories(${target} BEFORE PRIVATE ${PROJECT_SOURCE_DIR}/cmake/no-widgets)
endfunction()
