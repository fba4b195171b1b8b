# Mouse side of the map view: modes, locks, hover, panning, selection.
ortelis_add_test(tst_interaction_hover tst_interaction_hover.cpp tst_interaction_fixture.h
  LIBS ortelis_map)
ortelis_add_test(tst_interaction_modes tst_interaction_modes.cpp tst_interaction_fixture.h
  LIBS ortelis_map)
ortelis_add_test(tst_selection tst_selection.cpp tst_interaction_fixture.h LIBS ortelis_map)
ortelis_add_test(tst_pnpoly tst_pnpoly.cpp LIBS ortelis_map)
ortelis_add_test(tst_interaction_travel tst_interaction_travel.cpp tst_interaction_fixture.h
  LIBS ortelis_map)
