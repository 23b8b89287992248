"""The visualiser's analysis of a results file
(Mapping_Wrapper.InternalParametricStudyVisualizer.run_analysis).

Each step is a method of the visualiser's own parts, called through the
objects so that a replaced part is honoured: the loader reads the file
(pandas), the processor labels the runs by wall number (the compiled study
module decides which lie below the threshold), the classifier learns the
boundary, the plotter interpolates and draws the map (scipy, pyplot), then the
summary is printed and the figure saved and shown.
"""

from velmora.core import _contour_map


def run_analysis(visualizer, filename, save_path=None):
    from velmora.core import parameter_sweep  # the compiled module imports this one

    loader = visualizer.data_loader
    df = loader.load_data(filename)
    x, y, z = loader.get_data_ranges()

    # The processor class is looked up when the analysis runs, as the wrapper's other parts are.
    visualizer.data_processor = parameter_sweep.Mapping_Wrapper.DataProcessor(df)
    processor = visualizer.data_processor
    processor.filter_data()
    ml_data = processor.prepare_ml_data()  # (P column, T column, training points, labels)
    x_filtered = ml_data[0]

    classifier = visualizer.ml_classifier
    classifier.train_classifier(ml_data[2], ml_data[3])
    plotter = visualizer.plotter
    Xi, Yi, Zi = plotter.create_interpolation_grid(x, y, z)
    P_extended = classifier.extend_prediction(Xi, Yi)
    plotter.create_contour_plot(Xi, Yi, Zi, P_extended, visualizer.vmax)
    plotter.customize_plot()
    visualizer.display_results(df, x, y, z, x_filtered)
    _contour_map.save_and_show(save_path)


def train_classifier(classifier, X_train_raw, y_train):
    """MLClassifier.train_classifier: a new _Main_ML_2D(**ml_kwargs) (the module's phase_boundary_learner,
    looked up now), trained; its decision grid kept as X1_orig, X2_orig, P and returned."""
    from velmora.core import parameter_sweep

    classifier.ml_classifier = parameter_sweep.phase_boundary_learner._Main_ML_2D(**classifier.ml_kwargs)
    grid = classifier.ml_classifier.train(X_train_raw, y_train)
    if len(grid) != 3:
        raise ValueError("the classifier's train must return (X1_orig, X2_orig, P)")
    classifier.X1_orig, classifier.X2_orig, classifier.P = grid
    return classifier.X1_orig, classifier.X2_orig, classifier.P
