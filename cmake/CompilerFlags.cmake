# The warnings our code is held to, in every build: gcc's and clang's common
# set, plus a virtual destructor wherever there are virtual functions, no
# overload hiding a virtual one, and format strings checked. Qt's and the
# system's headers come in as system includes, so only our own code answers
# for them.
add_compile_options(-Wall -Wextra -Wnon-virtual-dtor -Woverloaded-virtual -Wformat=2)

# Warnings as errors: on in CI (.ci/run) and for anyone who wants the same;
# off by default, so a newer compiler's new warning does not stop a user's
# build.
option(CORVANE_WERROR "Treat compiler warnings as errors" OFF)
if(CORVANE_WERROR)
  add_compile_options(-Werror)
endif()
