# Map view: state and coordinates, point layer and palette, painting and
# overlays, information card.
ortelis_add_test(tst_caview_state tst_caview_state.cpp tst_caview_fixture.h LIBS ortelis_map)
ortelis_add_test(tst_caview_points tst_caview_points.cpp tst_caview_fixture.h LIBS ortelis_map)
ortelis_add_test(tst_caview_paint tst_caview_paint.cpp tst_caview_fixture.h LIBS ortelis_map)
ortelis_add_test(tst_caview_info tst_caview_info.cpp tst_caview_fixture.h tst_caview_textrecorder.h LIBS ortelis_map)
