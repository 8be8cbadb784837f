# The visual effects, one source file per effect. tests/support builds the
# same sources a second time against a GL that draws nothing, so that the
# effects' own CPU work can be measured and their calls recorded without a
# context.
set(DRMORVEL_EFFECT_SOURCES
  effects/unit_tile.cpp
  effects/rings.cpp
  effects/dropping_strips.cpp
  effects/tile_fields.cpp
  effects/blob_field.cpp
  effects/iso_surface.cpp
  effects/sprite_grid.cpp
  effects/twisted_tube.cpp
)
list(TRANSFORM DRMORVEL_EFFECT_SOURCES PREPEND ${CMAKE_CURRENT_SOURCE_DIR}/)

add_library(drmorvel_effects STATIC ${DRMORVEL_EFFECT_SOURCES})
target_include_directories(drmorvel_effects PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(drmorvel_effects PUBLIC OpenGL::GL)
